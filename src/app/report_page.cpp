#include "app/report_page.h"

#include <QPen>

namespace sarn {

QFont Page::Font(double points, bool bold) const {
  QFont font(QString::fromUtf8(kReportFontFamily));
  font.setPointSizeF(points);
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferOutline);
  return font;
}

void Page::Text(double x, double y, double width, double height, const QString& text, double points,
                int flags, bool bold, const QColor& colour) {
  painter.setFont(Font(points, bold));
  painter.setPen(colour);
  painter.drawText(Rect(x, y, width, height), flags | Qt::TextSingleLine, text);
}

void Page::Rule(double x1, double y1, double x2, double y2, const QColor& colour, double width_mm) {
  painter.setPen(QPen(colour, Dots(width_mm)));
  painter.drawLine(Point(x1, y1), Point(x2, y2));
}

void Page::TickBox(double x, double y, double size, bool ticked) {
  painter.setPen(QPen(Qt::black, Dots(0.2)));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(Rect(x, y, size, size));
  if (ticked) {
    painter.setPen(QPen(Qt::black, Dots(0.35)));
    const QPointF tick[] = {Point(x + size * 0.2, y + size * 0.55),
                            Point(x + size * 0.42, y + size * 0.8),
                            Point(x + size * 0.82, y + size * 0.2)};
    painter.drawPolyline(tick, 3);
  }
}

double Heading(Page& page, double y, const QString& text) {
  page.Text(kMargin, y, kContentWidth, 5, text, 10, Qt::AlignLeft | Qt::AlignVCenter, true);
  page.Rule(kMargin, y + 5.2, kMargin + kContentWidth, y + 5.2);
  return y + 6.5;
}

double Rows(Page& page, double x, double y, double caption_width, double value_width,
            const std::vector<std::pair<QString, QString>>& rows, double line, double points) {
  for (const auto& [caption, value] : rows) {
    page.Text(x, y, caption_width, line, caption, points, Qt::AlignLeft | Qt::AlignVCenter, false,
              kCaptionColour);
    page.Text(x + caption_width, y, value_width, line, value, points);
    y += line;
  }
  return y;
}

}  // namespace sarn
