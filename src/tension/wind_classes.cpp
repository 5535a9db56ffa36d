#include "tension/wind_classes.h"
