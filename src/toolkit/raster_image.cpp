#include "toolkit/raster_image.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <cstring>

namespace sarn::tk {

QImage ImageOfRaster(const Raster& raster) {
  if (raster.width <= 0 || raster.height <= 0 || raster.pixels.empty())
    return QImage();
  return QImage(reinterpret_cast<const uchar*>(raster.pixels.data()), raster.width, raster.height,
                static_cast<qsizetype>(raster.width) * 4, QImage::Format_RGB32);
}

Raster RasterOfImage(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  Raster raster;
  raster.width = rgb.width();
  raster.height = rgb.height();
  raster.pixels.resize(static_cast<size_t>(raster.width) * static_cast<size_t>(raster.height));
  for (int y = 0; y < raster.height; ++y) {
    std::memcpy(raster.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(raster.width),
                rgb.constScanLine(y), static_cast<size_t>(raster.width) * 4);
  }
  return raster;
}

std::optional<Raster> DecodeImageWithQt(const std::vector<uint8_t>& bytes) {
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly))
    return std::nullopt;
  QImageReader reader(&buffer);
  reader.setAllocationLimit(0);
  reader.setAutoTransform(false);  // the program rotates nothing
  const QImage image = reader.read();
  if (image.isNull())
    return std::nullopt;
  return RasterOfImage(image);
}

}  // namespace sarn::tk
