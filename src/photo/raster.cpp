#include "photo/raster.h"
