#pragma once

// Bridges between the core's rasters (0xFFRRGGBB, the layout of
// QImage::Format_RGB32) and Qt images.

#include <QImage>
#include <cstdint>
#include <optional>
#include <vector>

#include "photo/raster.h"

namespace sarn::tk {

// A read-only QImage over the raster's pixels, without a copy. The raster
// must outlive the image and every copy of it.
QImage ImageOfRaster(const Raster& raster);

// A copy of `image` as a raster.
Raster RasterOfImage(const QImage& image);

// Decodes image bytes of any format Qt reads, with no allocation limit (a
// 48-megapixel photo is ordinary). nullopt when the bytes are not an image.
std::optional<Raster> DecodeImageWithQt(const std::vector<uint8_t>& bytes);

}  // namespace sarn::tk
