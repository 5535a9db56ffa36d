#pragma once

// Bridges between the core's rasters (0xFFRRGGBB, the layout of
// QImage::Format_RGB32) and Qt images.

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "photo/load_plan.h"
#include "photo/photo_file.h"
#include "photo/raster.h"

namespace sarn::tk {

// A read-only QImage over the raster's pixels, without a copy. The raster
// must outlive the image and every copy of it.
QImage ImageOfRaster(const Raster& raster);

// A copy of `image` as a raster.
Raster RasterOfImage(const QImage& image);

// Decodes image bytes of any format Qt reads (the fallback decoder of the
// photo loading): the photo's size and its pixels at most `needed_width`
// wide (aspect kept; area-averaged, or read scaled by formats that can).
// Memory is bounded: Qt's image and the pixels together take at most
// kQtDecodeLimitBytes, checked from the header before decoding where the
// format tells its size. Failures: 7 too large to decode within the bound
// (formats without scaled reading, such as PNG, need the whole image), 6 a
// side above 32767, 481 not an image.
inline constexpr size_t kQtDecodeLimitBytes = size_t{256} << 20;
Result<FallbackPhoto> DecodeImageWithQt(const std::vector<uint8_t>& bytes, int needed_width);
// The same with another bound (the fuzz entry keeps each input cheap).
Result<FallbackPhoto> DecodeImageWithQtWithin(const std::vector<uint8_t>& bytes, int needed_width,
                                              size_t limit_bytes);

}  // namespace sarn::tk
