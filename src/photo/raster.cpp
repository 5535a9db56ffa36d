#include "photo/raster.h"

#include <cstddef>

#include "photo/area_resampler.h"

namespace sarn {

int32_t Raster::Point(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= height)
    return -1;
  const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + x];
  const uint32_t red = (p >> 16) & 0xFFu;
  const uint32_t green = (p >> 8) & 0xFFu;
  const uint32_t blue = p & 0xFFu;
  return static_cast<int32_t>((blue << 16) | (green << 8) | red);
}

Raster MakeRaster(int width, int height, uint32_t colour) {
  Raster r;
  if (width <= 0 || height <= 0)
    return r;
  r.width = width;
  r.height = height;
  r.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), colour);
  return r;
}

Raster ResampleAreaScaled(const Raster& source, int width, int height, double fx, double fy) {
  Raster out = MakeRaster(width, height);
  if (out.pixels.empty() || source.pixels.empty())
    return out;
  AreaResampler resampler(source.width, source.height, fx, fy, 0.0, &out);
  for (int r = resampler.FirstSourceRow(); r < resampler.EndSourceRow(); ++r)
    resampler.PushRow(source.pixels.data() + static_cast<size_t>(r) * source.width, true);
  resampler.Finish();
  return out;
}

Raster ResampleArea(const Raster& source, int width, int height) {
  if (width <= 0 || height <= 0)
    return Raster{};
  return ResampleAreaScaled(source, width, height, static_cast<double>(source.width) / width,
                            static_cast<double>(source.height) / height);
}

}  // namespace sarn
