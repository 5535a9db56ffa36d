#include "app/annotated_png.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>

#include "app/report_drawing.h"
#include "toolkit/raster_image.h"

namespace sarn {

bool WriteAnnotatedPng(const Raster& working, const ReportOverlay& overlay, const std::string& path,
                       std::string* error) {
  if (!HaveGuiApplication(error))
    return false;
  if (!Drawable(&working)) {
    *error = "there is no working image to annotate";
    return false;
  }
  QImage image = tk::ImageOfRaster(working).copy();
  {
    QPainter painter(&image);
    DrawOverlay(painter, overlay, std::max(2.0, working.width / 800.0));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
    *error = "cannot encode " + path + " as PNG";
    return false;
  }
  return ReplaceFileWithQBytes(path, bytes, error);
}

}  // namespace sarn
