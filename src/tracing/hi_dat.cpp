#include "tracing/hi_dat.h"
