#include "state/wire_table.h"
