#include "tracing/guide_lines.h"
