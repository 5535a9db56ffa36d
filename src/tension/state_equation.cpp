#include "tension/state_equation.h"
