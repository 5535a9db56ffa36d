#pragma once

// The report page's geometry and text styles: millimetre positions on an A4
// page turned into the painter's dots, the font, captions with values, rules
// and headings. Shared by the parts of the page (report_writer.cpp,
// report_chart.cpp).

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "app/report_writer.h"

namespace sarn {

// Page geometry in millimetres; the painter works in dots at kDotsPerInch.
inline constexpr int kDotsPerInch = 300;
inline constexpr double kPageWidth = 210, kPageHeight = 297, kMargin = 14;
inline constexpr double kContentWidth = kPageWidth - 2 * kMargin;

inline const QColor kRuleColour(150, 150, 150);
inline const QColor kCaptionColour(60, 60, 60);

inline QString QText(const std::string& text) {
  return QString::fromStdString(text);
}

class Page {
 public:
  explicit Page(QPainter& page_painter) : painter(page_painter) {}

  double Dots(double mm) const { return mm * kDotsPerInch / 25.4; }
  QRectF Rect(double x, double y, double width, double height) const {
    return QRectF(Dots(x), Dots(y), Dots(width), Dots(height));
  }
  QPointF Point(double x, double y) const { return QPointF(Dots(x), Dots(y)); }

  QFont Font(double points, bool bold = false) const;

  void Text(double x, double y, double width, double height, const QString& text, double points,
            int flags = Qt::AlignLeft | Qt::AlignVCenter, bool bold = false,
            const QColor& colour = Qt::black);

  void Rule(double x1, double y1, double x2, double y2, const QColor& colour = kRuleColour,
            double width_mm = 0.2);

  // A small box, ticked or not, drawn rather than typed so that it needs no
  // glyph.
  void TickBox(double x, double y, double size, bool ticked);

  QPainter& painter;
};

// A section heading with a rule under it; returns the y below it.
double Heading(Page& page, double y, const QString& text);

// Caption and value rows; returns the y below the last row.
double Rows(Page& page, double x, double y, double caption_width, double value_width,
            const std::vector<std::pair<QString, QString>>& rows, double line = 4.4,
            double points = 8.5);

}  // namespace sarn
