#include "toolkit/raster_image.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageIOHandler>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "photo/area_resampler.h"

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

namespace {

Failure Refused(int code, MessageId message, std::vector<Failure::Argument> arguments = {}) {
  return Failure(message, std::move(arguments), code);
}

std::string SizeText(QSize size) {
  return std::to_string(size.width()) + " x " + std::to_string(size.height());
}

// `size` at most `width` pixels wide, aspect kept, at least one row high.
QSize WithinWidth(QSize size, int width) {
  const int w = std::min(size.width(), width);
  return QSize(w, std::max(1, static_cast<int>(std::lround(static_cast<double>(size.height()) * w /
                                                           size.width()))));
}

// Bytes per pixel of a decoded image of `format`; 4 when unknown.
double BytesPerPixel(QImage::Format format) {
  if (format == QImage::Format_Invalid)
    return 4;
  return QImage(1, 1, format).depth() / 8.0;
}

// Copies (or area-averages) `image` into `dest`, converting to RGB32 a strip
// of rows at a time, so that no second full-size copy is made.
void ResampleInto(const QImage& image, Raster* dest) {
  const int w = image.width(), h = image.height();
  AreaResampler resampler(w, h, w / static_cast<double>(dest->width),
                          h / static_cast<double>(dest->height), 0, dest);
  constexpr int kStripRows = 64;
  QImage strip;
  int strip_top = 0;
  for (int r = resampler.FirstSourceRow(); r < resampler.EndSourceRow(); ++r) {
    if (strip.isNull() || r >= strip_top + strip.height()) {
      strip_top = r;
      strip =
          image.copy(0, r, w, std::min(kStripRows, h - r)).convertToFormat(QImage::Format_RGB32);
    }
    const auto* row = reinterpret_cast<const uint32_t*>(strip.constScanLine(r - strip_top));
    uint32_t* buffer = resampler.RowBuffer();
    std::memcpy(buffer, row, static_cast<size_t>(w) * 4);
    resampler.PushRow(buffer);
  }
  resampler.Finish();
}

}  // namespace

Result<FallbackPhoto> DecodeImageWithQt(const std::vector<uint8_t>& bytes, int needed_width) {
  return DecodeImageWithQtWithin(bytes, needed_width, kQtDecodeLimitBytes);
}

Result<FallbackPhoto> DecodeImageWithQtWithin(const std::vector<uint8_t>& bytes, int needed_width,
                                              size_t limit_bytes) {
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly))
    return Refused(kErrInvalidPicture, MessageId::kPhotoNotImage);
  QImageReader reader(&buffer);
  reader.setAutoTransform(false);  // the program rotates nothing
  const int needed = std::clamp(needed_width, 1, kMaxImageSide);

  // The size from the header, where the format gives it: the bound is
  // checked before anything is decoded.
  const QSize size = reader.size();
  const bool size_known = size.isValid() && !size.isEmpty();
  QSize target;  // the size of the pixels handed back
  if (size_known) {
    if (size.width() > kMaxImageSide || size.height() > kMaxImageSide)
      return Refused(kErrOverflow, MessageId::kPhotoSizeExceeds,
                     {std::to_string(size.width()), std::to_string(size.height())});
    target = WithinWidth(size, needed);
    // Only some formats decode at a smaller size (JPEG by its DCT scaling,
    // SVG by drawing); others that accept a scaled size (PNG) decode whole
    // and then scale, so for them the whole image counts.
    const QByteArray format = reader.format();
    const bool scaled = target != size && (format == "jpeg" || format == "svg") &&
                        reader.supportsOption(QImageIOHandler::ScaledSize);
    if (scaled)
      reader.setScaledSize(target);
    const QSize decoded = scaled ? target : size;
    const double needs = static_cast<double>(decoded.width()) * decoded.height() *
                             BytesPerPixel(scaled ? QImage::Format_RGB32 : reader.imageFormat()) +
                         4.0 * target.width() * target.height();
    if (needs > static_cast<double>(limit_bytes)) {
      return Refused(kErrOutOfMemory, MessageId::kPhotoTooLargeToDecodeNeeds,
                     {SizeText(size), std::to_string(static_cast<long long>(needs) >> 20),
                      std::to_string(limit_bytes >> 20)});
    }
  }
  // Qt's own bound on the decoded image, in MB, also for formats whose
  // header gives no size.
  reader.setAllocationLimit(std::max(1, static_cast<int>(limit_bytes >> 20)));
  const QImage image = reader.read();
  // Qt tells no reason apart from bad data when its bound stops a decoding
  // (a 1-bit PNG is expanded to 8 bits): a photo that could need more than
  // the bound at 4 bytes a pixel is reported as too large.
  if (image.isNull() && size.isValid() &&
      4.0 * size.width() * size.height() > static_cast<double>(limit_bytes)) {
    return Refused(kErrOutOfMemory, MessageId::kPhotoTooLargeToDecodeBecause,
                   {SizeText(size), reader.errorString().toStdString()});
  }
  if (image.isNull()) {
    return Refused(kErrInvalidPicture, MessageId::kPhotoNotImageBecause,
                   {reader.errorString().toStdString()});
  }
  FallbackPhoto photo;
  const QSize photo_size = size_known ? size : image.size();
  photo.width = photo_size.width();
  photo.height = photo_size.height();
  if (photo.width > kMaxImageSide || photo.height > kMaxImageSide)
    return Refused(kErrOverflow, MessageId::kPhotoSizeExceeds,
                   {std::to_string(image.width()), std::to_string(image.height())});
  if (!target.isValid() || target.isEmpty())
    target = WithinWidth(photo_size, needed);
  photo.pixels = MakeRaster(target.width(), target.height());
  ResampleInto(image, &photo.pixels);
  return photo;
}

}  // namespace sarn::tk
