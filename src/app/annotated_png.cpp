#include "app/annotated_png.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>

#include "app/report_drawing.h"
#include "toolkit/raster_image.h"

namespace sarn {

Result<void> WriteAnnotatedPng(const Raster& working, const ReportOverlay& overlay,
                               const std::string& path) {
  if (!HaveGuiApplication())
    return Failure(MessageId::kReportNeedsGui, {path});
  if (!Drawable(&working))
    return Failure(MessageId::kReportNoWorkingImage, {path});
  QImage image = tk::ImageOfRaster(working).copy();
  {
    QPainter painter(&image);
    DrawOverlay(painter, overlay, std::max(2.0, working.width / 800.0));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
    return Failure(MessageId::kReportCannotEncodePng, {path});
  return ReplaceFileWithQBytes(path, bytes);
}

}  // namespace sarn
