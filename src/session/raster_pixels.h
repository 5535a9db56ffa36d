#pragma once

// The scan's view of a working image: colours as 0x00BBGGRR, -1 outside.

#include "photo/raster.h"
#include "tracing/scan.h"

namespace sarn {

class RasterPixels : public PixelSource {
 public:
  explicit RasterPixels(const Raster& raster) : raster_(raster) {}
  int32_t Point(int32_t x, int32_t y) const override { return raster_.Point(x, y); }

 private:
  const Raster& raster_;
};

}  // namespace sarn
