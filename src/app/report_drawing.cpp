#include "app/report_drawing.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineF>
#include <QPen>
#include <QPolygonF>
#include <string_view>

#include "state/file_access.h"

namespace sarn {

void DrawOverlay(QPainter& painter, const ReportOverlay& overlay, double width) {
  auto pen = [&](const QColor& colour) {
    QPen result(colour, width);
    result.setCosmetic(true);
    result.setCapStyle(Qt::FlatCap);
    return result;
  };
  auto line = [](const ReportSegment& segment) {
    return QLineF(segment.x1, segment.y1, segment.x2, segment.y2);
  };
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  if (!overlay.precision_curve.empty()) {
    QPolygonF curve;
    for (const ReportPoint& point : overlay.precision_curve)
      curve << QPointF(point.x, point.y);
    painter.setPen(pen(kCurveColour));
    painter.drawPolyline(curve);
  }
  if (overlay.drawn_line) {
    painter.setPen(pen(kDrawnColour));
    painter.drawLine(line(*overlay.drawn_line));
  }
  painter.setPen(pen(kScanColour));
  if (overlay.chord)
    painter.drawLine(line(*overlay.chord));
  for (const ReportSegment& mark : overlay.station_marks)
    painter.drawLine(line(mark));
  painter.restore();
}

bool Drawable(const Raster* raster) {
  return raster != nullptr && raster->width > 0 && raster->height > 0 &&
         raster->pixels.size() == static_cast<size_t>(raster->width) * raster->height;
}

bool HaveGuiApplication() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

Result<void> ReplaceFileWithQBytes(const std::string& path, const QByteArray& bytes) {
  return ReplaceFileWithBytes(path, std::string_view(bytes.constData(), bytes.size()));
}

}  // namespace sarn
