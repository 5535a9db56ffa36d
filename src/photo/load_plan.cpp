#include "photo/load_plan.h"
