#pragma once

// A 32-bit raster in the layout of a Qt RGB32 image (0xFFRRGGBB per pixel,
// rows top to bottom, no padding), so that the window can show it without a
// copy, while the scan reads colours as 0x00BBGGRR through Point().

#include <cstdint>
#include <vector>

namespace sarn {

struct Raster {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width * height, 0xFFRRGGBB

  // The colour at (x, y) as 0x00BBGGRR (red in the low byte), or -1 outside.
  int32_t Point(int32_t x, int32_t y) const;
};

// A raster of width x height pixels, all `colour` (0xFFRRGGBB). Throws
// std::bad_alloc when it cannot be allocated.
Raster MakeRaster(int width, int height, uint32_t colour = 0xFF000000u);

// Plain area-average resampling of `source` to width x height (no
// sharpening: the scan reads these pixels).
Raster ResampleArea(const Raster& source, int width, int height);

// The same with the footprint given: destination pixel (x, y) is the mean of
// source area [x fx, (x+1) fx) x [y fy, (y+1) fy) (see area_resampler.h).
Raster ResampleAreaScaled(const Raster& source, int width, int height, double fx, double fy);

}  // namespace sarn
