#include "sag/sag_computation.h"
