#include "photo/photo_loader.h"
