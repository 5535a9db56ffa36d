#include "app/cli.h"
