#include "tracing/scan.h"
