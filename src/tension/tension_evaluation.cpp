#include "tension/tension_evaluation.h"
