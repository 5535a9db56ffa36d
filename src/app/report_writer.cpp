#include "app/report_writer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "app/chart_plot.h"
#include "output/number_format.h"
#include "tension/stringing_chart_text.h"
#include "toolkit/bgr_color.h"

#include "state/file_access.h"

namespace sarn {
namespace {

// Page geometry in millimetres; the painter works in dots at kDotsPerInch.
constexpr int kDotsPerInch = 300;
constexpr double kPageWidth = 210, kPageHeight = 297, kMargin = 14;
constexpr double kContentWidth = kPageWidth - 2 * kMargin;
// Pictures are embedded at no more than this resolution (dots per mm, about
// 250 dpi): enough for print, and a 48-megapixel photo does not make a 100 MB
// page.
constexpr double kImageDotsPerMm = 10;
// At most this many temperatures are listed on the page; longer ranges are
// thinned to every n-th row (the plot keeps them all).
constexpr size_t kMaxListedRows = 15;

// The window's colours: the drawn line green, the chord and the station marks
// red, the traced curve of precision tracing magenta; the ratio's yellow and
// red.
const QColor kDrawnColour = tk::ColorOfBgr(tk::kBgrGreen);
const QColor kScanColour = tk::ColorOfBgr(tk::kBgrRed);
const QColor kCurveColour = tk::ColorOfBgr(tk::kBgrMagenta);
const QColor kRatioYellow = tk::ColorOfBgr(tk::kBgrYellow);
const QColor kRatioRed = tk::ColorOfBgr(tk::kBgrRed);
const QColor kRuleColour(150, 150, 150);

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Every file is replaced whole through the program's one writer.
Result<void> ReplaceFile(const std::string& path, const QByteArray& bytes) {
  return ReplaceFileWithBytes(path, std::string_view(bytes.constData(), bytes.size()));
}

bool HaveGuiApplication() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// A read-only QImage over the raster's pixels (0xFFRRGGBB rows, the layout
// of QImage::Format_RGB32); the raster must outlive it.
QImage ImageOf(const Raster& raster) {
  return QImage(reinterpret_cast<const uchar*>(raster.pixels.data()), raster.width, raster.height,
                raster.width * 4, QImage::Format_RGB32);
}

bool Drawable(const Raster* raster) {
  return raster != nullptr && raster->width > 0 && raster->height > 0 &&
         raster->pixels.size() == static_cast<size_t>(raster->width) * raster->height;
}

// Draws the overlay in working-image pixels through the painter's transform,
// lines `width` device dots wide whatever the scale.
void DrawOverlay(QPainter& p, const ReportOverlay& overlay, double width) {
  auto pen = [&](const QColor& colour) {
    QPen result(colour, width);
    result.setCosmetic(true);
    result.setCapStyle(Qt::FlatCap);
    return result;
  };
  auto line = [](const ReportSegment& s) { return QLineF(s.x1, s.y1, s.x2, s.y2); };
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  if (!overlay.precision_curve.empty()) {
    QPolygonF curve;
    for (const ReportPoint& point : overlay.precision_curve)
      curve << QPointF(point.x, point.y);
    p.setPen(pen(kCurveColour));
    p.drawPolyline(curve);
  }
  if (overlay.drawn_line) {
    p.setPen(pen(kDrawnColour));
    p.drawLine(line(*overlay.drawn_line));
  }
  p.setPen(pen(kScanColour));
  if (overlay.chord)
    p.drawLine(line(*overlay.chord));
  for (const ReportSegment& mark : overlay.station_marks)
    p.drawLine(line(mark));
  p.restore();
}

// Tick positions of an axis: a 1, 2, 2.5 or 5 times a power of ten step.
struct Axis {
  double low = 0, high = 1, step = 1;
  int decimals = 0;
};

Axis NiceAxis(double low, double high, int ticks) {
  if (!(high > low)) {
    const double pad = std::max(1e-3, std::fabs(low) * 0.1);
    low -= pad;
    high += pad;
  }
  const double raw = (high - low) / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  Axis axis;
  axis.step = 10 * power;
  for (double m : {1.0, 2.0, 2.5, 5.0}) {
    if (m * power >= raw) {
      axis.step = m * power;
      break;
    }
  }
  axis.low = std::floor(low / axis.step) * axis.step;
  axis.high = std::ceil(high / axis.step) * axis.step;
  while (axis.decimals < 4) {
    const double scaled = axis.step * std::pow(10.0, axis.decimals);
    if (std::fabs(scaled - std::round(scaled)) < 1e-6)
      break;
    ++axis.decimals;
  }
  return axis;
}

// The page: millimetre positions turned into dots, and the text styles.
class Page {
 public:
  explicit Page(QPainter& painter) : p(painter) {}

  double Dots(double mm) const { return mm * kDotsPerInch / 25.4; }
  QRectF Rect(double x, double y, double w, double h) const {
    return QRectF(Dots(x), Dots(y), Dots(w), Dots(h));
  }
  QPointF Point(double x, double y) const { return QPointF(Dots(x), Dots(y)); }

  QFont Font(double points, bool bold = false) const {
    QFont font(QString::fromUtf8(kReportFontFamily));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
  }

  void Text(double x, double y, double w, double h, const QString& text, double points,
            int flags = Qt::AlignLeft | Qt::AlignVCenter, bool bold = false,
            const QColor& colour = Qt::black) {
    p.setFont(Font(points, bold));
    p.setPen(colour);
    p.drawText(Rect(x, y, w, h), flags | Qt::TextSingleLine, text);
  }

  void Rule(double x1, double y1, double x2, double y2, const QColor& colour = kRuleColour,
            double width_mm = 0.2) {
    p.setPen(QPen(colour, Dots(width_mm)));
    p.drawLine(Point(x1, y1), Point(x2, y2));
  }

  // A small box, ticked or not, drawn rather than typed so that it needs no
  // glyph.
  void TickBox(double x, double y, double size, bool ticked) {
    p.setPen(QPen(Qt::black, Dots(0.2)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(Rect(x, y, size, size));
    if (ticked) {
      p.setPen(QPen(Qt::black, Dots(0.35)));
      const QPointF tick[] = {Point(x + size * 0.2, y + size * 0.55),
                              Point(x + size * 0.42, y + size * 0.8),
                              Point(x + size * 0.82, y + size * 0.2)};
      p.drawPolyline(tick, 3);
    }
  }

  QPainter& p;
};

// A section heading with a rule under it; returns the y below it.
double Heading(Page& page, double y, const QString& text) {
  page.Text(kMargin, y, kContentWidth, 5, text, 10, Qt::AlignLeft | Qt::AlignVCenter, true);
  page.Rule(kMargin, y + 5.2, kMargin + kContentWidth, y + 5.2);
  return y + 6.5;
}

// Caption and value rows; returns the y below the last row.
double Rows(Page& page, double x, double y, double caption_width, double value_width,
            const std::vector<std::pair<QString, QString>>& rows, double line = 4.4,
            double points = 8.5) {
  for (const auto& [caption, value] : rows) {
    page.Text(x, y, caption_width, line, caption, points, Qt::AlignLeft | Qt::AlignVCenter, false,
              QColor(60, 60, 60));
    page.Text(x + caption_width, y, value_width, line, value, points);
    y += line;
  }
  return y;
}

// The image `source` fitted into `box_mm` (aspect kept, centred at the top),
// embedded at no more than kImageDotsPerMm; returns where it was drawn, in dots.
QRectF DrawFitted(Page& page, const QImage& source, const QRectF& box_mm) {
  const double scale = std::min(box_mm.width() / source.width(), box_mm.height() / source.height());
  const double w = source.width() * scale, h = source.height() * scale;
  const QRectF target = page.Rect(box_mm.x() + (box_mm.width() - w) / 2, box_mm.y(), w, h);
  const int embed_width = static_cast<int>(std::min<double>(source.width(), w * kImageDotsPerMm));
  const QImage embedded = embed_width < source.width()
                              ? source.scaledToWidth(embed_width, Qt::SmoothTransformation)
                              : source;
  page.p.drawImage(target, embedded);
  return target;
}

// The photo with the overlay; returns the y below it.
double DrawOverview(Page& page, const ReportContent& c, const ReportImages& images, double y) {
  const double max_height = 72;
  const QRectF box(kMargin, y, kContentWidth, max_height);
  const Raster* source = Drawable(images.overview) ? images.overview : images.working;
  if (!Drawable(source)) {
    page.p.setPen(QPen(kRuleColour, page.Dots(0.2)));
    page.p.drawRect(page.Rect(box.x(), box.y(), box.width(), 20));
    page.Text(box.x(), box.y(), box.width(), 20, QStringLiteral("写真なし"), 10, Qt::AlignCenter);
    return y + 22;
  }
  const QRectF target = DrawFitted(page, ImageOf(*source), box);
  if (Drawable(images.working)) {
    page.p.save();
    page.p.setClipRect(target);
    page.p.translate(target.topLeft());
    page.p.scale(target.width() / images.working->width, target.height() / images.working->height);
    DrawOverlay(page.p, c.overlay, page.Dots(0.3));
    page.p.restore();
  }
  return y + target.height() * 25.4 / kDotsPerInch + 2;
}

// The working image around the middle station, magnified pixel for pixel,
// with the overlay; caption above it.
void DrawCrop(Page& page, const ReportContent& c, const ReportImages& images, double x, double y,
              double w, double h) {
  const QRectF box = page.Rect(x, y + 5, w, h - 5);
  page.p.setPen(QPen(kRuleColour, page.Dots(0.2)));
  page.p.setBrush(Qt::NoBrush);
  page.p.drawRect(box);
  if (!Drawable(images.working) || !c.middle_station) {
    page.Text(x, y, w, 5, QStringLiteral("中央測点の拡大"), 8.5);
    page.Text(x, y + 5, w, h - 5, QStringLiteral("測点なし"), 9, Qt::AlignCenter);
    return;
  }
  const Raster& working = *images.working;
  // About a fourteenth of the working width across, at least 80 pixels.
  const int crop_w = std::min(working.width, std::clamp(working.width / 14, 80, 600));
  const int crop_h =
      std::min(working.height, std::max(1, static_cast<int>(crop_w * box.height() / box.width())));
  const int left = std::clamp(static_cast<int>(std::lround(c.middle_station->x)) - crop_w / 2, 0,
                              working.width - crop_w);
  const int top = std::clamp(static_cast<int>(std::lround(c.middle_station->y)) - crop_h / 2, 0,
                             working.height - crop_h);
  const QImage crop = ImageOf(working).copy(left, top, crop_w, crop_h);
  const double magnification = std::min(box.width() / crop_w, box.height() / crop_h);
  // Nearest-neighbour enlargement, so that the page shows the pixels the
  // scan read.
  const QImage enlarged = crop.scaled(static_cast<int>(crop_w * magnification),
                                      static_cast<int>(crop_h * magnification),
                                      Qt::IgnoreAspectRatio, Qt::FastTransformation);
  const QRectF target(box.x(), box.y(), crop_w * magnification, crop_h * magnification);
  page.p.drawImage(target, enlarged);
  page.p.save();
  page.p.setClipRect(target);
  page.p.translate(target.x() - left * magnification, target.y() - top * magnification);
  page.p.scale(magnification, magnification);
  DrawOverlay(page.p, c.overlay, page.Dots(0.35));
  page.p.restore();
  page.Text(x, y, w, 5,
            QStringLiteral("中央測点の拡大（作業画像 %1 × %2 画素）").arg(crop_w).arg(crop_h), 8.5);
}

QString YesNo(bool on) {
  return on ? QStringLiteral("あり") : QStringLiteral("なし");
}

double DrawInputs(Page& page, const ReportInputs& in, double x, double y, double w) {
  QStringList classes;
  const LoadClass order[] = {LoadClass::A, LoadClass::B, LoadClass::C};
  for (size_t i = 0; i < in.classes.size(); ++i) {
    if (in.classes[i])
      classes << Q(LoadClassCaption(order[i]));
  }
  const std::vector<std::pair<QString, QString>> rows = {
      {QStringLiteral("電線サイズ"), Q(in.wire_name)},
      {QStringLiteral("径間長"), Q(in.span_m) + QStringLiteral(" m")},
      {QStringLiteral("撮影時気温"), Q(in.air_temp_c) + QStringLiteral(" ℃")},
      {QStringLiteral("概算距離／概算高さ"), Q(in.approx_distance_m) + QStringLiteral(" m／") +
                                                 Q(in.approx_height_m) + QStringLiteral(" m")},
      {QStringLiteral("幅・高さ・径間補正"), YesNo(in.width_correction) + QStringLiteral("・") +
                                                 YesNo(in.height_correction) +
                                                 QStringLiteral("・") + YesNo(in.span_correction)},
      {QStringLiteral("甲種温度／低温期温度"), Q(in.design_temp_a_c) + QStringLiteral(" ℃／") +
                                                   Q(in.design_temp_low_c) + QStringLiteral(" ℃")},
      {QStringLiteral("対象風圧荷重"), classes.join(QStringLiteral("・"))},
      {QStringLiteral("明るさ閾値"),
       Q(in.threshold) +
           (in.criterion_darkness ? QStringLiteral("（黒さ）") : QStringLiteral("（変化値）"))},
  };
  page.Text(x, y, w, 5, QStringLiteral("入力"), 8.5, Qt::AlignLeft | Qt::AlignVCenter, true);
  return Rows(page, x, y + 5, 38, w - 38, rows);
}

double DrawResults(Page& page, const ReportResults& r, double y) {
  y = Heading(page, y, QStringLiteral("結果"));
  const double line = 5;
  const double left = kMargin, right = kMargin + 96;
  // Left column: sag, estimates with their ticks, present tension.
  double yl =
      Rows(page, left, y, 30, 50,
           {{QStringLiteral("現在弛度"), Q(r.present_sag_m) + QStringLiteral(" m")}}, line, 9);
  // The three estimates, each with the tick that puts it into the present
  // tension.
  const char* chords[] = {"4/4", "3/4", "2/4"};
  page.Text(left, yl, 30, line, QStringLiteral("計算径間"), 9, Qt::AlignLeft | Qt::AlignVCenter,
            false, QColor(60, 60, 60));
  for (size_t i = 0; i < r.estimates.size(); ++i) {
    page.TickBox(left + 30, yl + 1.1, 2.8, r.estimates[i].ticked);
    page.Text(left + 34, yl, 10, line, QString::fromUtf8(chords[i]), 9);
    page.Text(left + 44, yl, 36, line, Q(r.estimates[i].tension_kgf) + QStringLiteral(" kgf"), 9);
    yl += line;
  }
  yl = Rows(page, left, yl, 30, 50,
            {{QStringLiteral("現在張力"), Q(r.present_tension_kgf) + QStringLiteral(" kgf")}}, line,
            9);
  // Right column: allowable tensions, ratio on its colour, specified sag.
  double yr =
      Rows(page, right, y, 30, 56,
           {{QStringLiteral("径間許容張力"), Q(r.allow_a) + QStringLiteral("　") + Q(r.allow_bc)}},
           line, 9);
  page.Text(right, yr, 30, 8, QStringLiteral("許容張力比"), 9, Qt::AlignLeft | Qt::AlignVCenter,
            false, QColor(60, 60, 60));
  const QRectF ratio_box = page.Rect(right + 30, yr + 0.5, 24, 7);
  page.p.setPen(Qt::NoPen);
  page.p.setBrush(r.ratio_red ? kRatioRed : kRatioYellow);
  page.p.drawRect(ratio_box);
  page.p.setBrush(Qt::NoBrush);
  page.Text(right + 30, yr + 0.5, 24, 7, Q(r.ratio_percent) + QStringLiteral(" %"), 13,
            Qt::AlignCenter, true);
  yr += 8.5;
  yr = Rows(page, right, yr, 30, 56,
            {{QStringLiteral("規定弛度"), Q(r.specified_sag_m) + QStringLiteral(" m")}}, line, 9);
  double bottom = std::max(yl, yr);
  if (!r.failure.empty()) {
    page.Text(kMargin, bottom, kContentWidth, 4.5,
              QStringLiteral("評価は途中で止まりました: ") + Q(r.failure), 8,
              Qt::AlignLeft | Qt::AlignVCenter, false, kRatioRed);
    bottom += 4.5;
  }
  return bottom + 1;
}

// The plot of the stringing chart: temperature across, tension on the left
// axis, sag on the right; the present point and the specified sag marked.
void DrawChartPlot(Page& page, const StringingChart& chart, std::optional<double> specified_sag,
                   const QRectF& area_mm) {
  const QRectF plot(area_mm.x() + 13, area_mm.y() + 6, area_mm.width() - 26, area_mm.height() - 14);
  const ChartExtent e = ExtentOf(chart, specified_sag);
  if (specified_sag && !std::isfinite(*specified_sag))
    specified_sag.reset();
  const Axis ta = NiceAxis(e.t_low, e.t_high, 6);
  const Axis tension = NiceAxis(e.tension_low, e.tension_high, 5);
  const Axis sag = NiceAxis(e.sag_low, e.sag_high, 5);
  auto X = [&](double t) { return plot.x() + (t - ta.low) / (ta.high - ta.low) * plot.width(); };
  auto YT = [&](double v) {
    return plot.bottom() - (v - tension.low) / (tension.high - tension.low) * plot.height();
  };
  auto YS = [&](double v) {
    return plot.bottom() - (v - sag.low) / (sag.high - sag.low) * plot.height();
  };

  // Grid and tick labels.
  for (double t = ta.low; t <= ta.high + ta.step * 1e-6; t += ta.step) {
    page.Rule(X(t), plot.top(), X(t), plot.bottom(), QColor(225, 225, 225), 0.15);
    page.Text(X(t) - 8, plot.bottom() + 0.5, 16, 3.5, Q(FormatFixed(t, ta.decimals)), 6.5,
              Qt::AlignHCenter | Qt::AlignTop);
  }
  for (double v = tension.low; v <= tension.high + tension.step * 1e-6; v += tension.step) {
    page.Rule(plot.left(), YT(v), plot.right(), YT(v), QColor(225, 225, 225), 0.15);
    page.Text(plot.left() - 13, YT(v) - 1.75, 12, 3.5, Q(FormatFixed(v, tension.decimals)), 6.5,
              Qt::AlignRight | Qt::AlignVCenter, false, kTensionColour);
  }
  for (double v = sag.low; v <= sag.high + sag.step * 1e-6; v += sag.step) {
    page.Text(plot.right() + 1, YS(v) - 1.75, 12, 3.5, Q(FormatFixed(v, sag.decimals)), 6.5,
              Qt::AlignLeft | Qt::AlignVCenter, false, kSagColour);
  }
  page.p.setPen(QPen(kRuleColour, page.Dots(0.2)));
  page.p.setBrush(Qt::NoBrush);
  page.p.drawRect(page.Rect(plot.x(), plot.y(), plot.width(), plot.height()));
  page.Text(plot.x(), plot.bottom() + 4, plot.width(), 3.5, QStringLiteral("温度 (℃)"), 7,
            Qt::AlignHCenter | Qt::AlignTop);
  page.Text(plot.left() - 13, plot.top() - 5, 30, 4, QStringLiteral("張力 (kgf)"), 7,
            Qt::AlignLeft | Qt::AlignVCenter, false, kTensionColour);
  page.Text(plot.right() - 17, plot.top() - 5, 30, 4, QStringLiteral("弛度 (m)"), 7,
            Qt::AlignRight | Qt::AlignVCenter, false, kSagColour);

  // The two curves; a temperature without a solution breaks the line.
  page.p.save();
  page.p.setRenderHint(QPainter::Antialiasing);
  auto curve = [&](auto value_of, auto y_of, const QColor& colour) {
    page.p.setPen(QPen(colour, page.Dots(0.45)));
    QPolygonF run;
    for (const ChartRow& row : chart.rows) {
      const std::optional<double> v = value_of(row);
      if (!v) {
        if (run.size() > 1)
          page.p.drawPolyline(run);
        run.clear();
        continue;
      }
      run << page.Point(X(row.temperature_c), y_of(*v));
    }
    if (run.size() > 1)
      page.p.drawPolyline(run);
  };
  curve([](const ChartRow& r) { return r.tension_kgf; }, YT, kTensionColour);
  curve([](const ChartRow& r) { return r.sag_m; }, YS, kSagColour);
  if (specified_sag) {
    QPen dashed(kSagColour, page.Dots(0.3), Qt::DashLine);
    page.p.setPen(dashed);
    page.p.drawLine(page.Point(plot.left(), YS(*specified_sag)),
                    page.Point(plot.right(), YS(*specified_sag)));
    page.Text(
        plot.left() + 1, YS(*specified_sag) - 3.6, 40, 3.4,
        QStringLiteral("規定弛度 ") + Q(FormatFixed(*specified_sag, 2)) + QStringLiteral(" m"), 6.5,
        Qt::AlignLeft | Qt::AlignVCenter, false, kSagColour);
  }
  page.p.setPen(Qt::NoPen);
  page.p.setBrush(kTensionColour);
  page.p.drawEllipse(page.Point(X(chart.air_temp_c), YT(chart.present_tension_kgf)), page.Dots(1),
                     page.Dots(1));
  page.p.setBrush(kSagColour);
  const QPointF sag_point = page.Point(X(chart.air_temp_c), YS(chart.present_sag_m));
  page.p.drawRect(QRectF(sag_point.x() - page.Dots(0.9), sag_point.y() - page.Dots(0.9),
                         page.Dots(1.8), page.Dots(1.8)));
  page.p.restore();
  page.Text(plot.x(), plot.bottom() + 7.5, plot.width(), 3.5,
            QStringLiteral("● 現在張力　■ 現在弛度（撮影時気温 ") +
                Q(FormatFixed(chart.air_temp_c, 1)) + QStringLiteral(" ℃）"),
            6.5, Qt::AlignHCenter | Qt::AlignTop, false, QColor(60, 60, 60));
}

// The table beside the plot: the temperatures (thinned when long) and the
// design conditions.
void DrawChartTable(Page& page, const StringingChart& chart, double x, double y, double w) {
  const int td = TemperatureDecimals(chart);
  const double line = 3.5, points = 7;
  const double col = w / 3;
  auto header = [&](double yy, const QStringList& names, double width) {
    for (int i = 0; i < names.size(); ++i)
      page.Text(x + i * width, yy, width, line, names[i], points, Qt::AlignRight | Qt::AlignVCenter,
                true);
    page.Rule(x, yy + line, x + w, yy + line);
  };
  header(y, {QStringLiteral("温度 (℃)"), QStringLiteral("張力 (kgf)"), QStringLiteral("弛度 (m)")},
         col);
  y += line + 0.4;
  const size_t every = (chart.rows.size() + kMaxListedRows - 1) / kMaxListedRows;
  size_t listed = 0;
  for (size_t i = 0; i < chart.rows.size(); i += std::max<size_t>(every, 1)) {
    const ChartRow& row = chart.rows[i];
    const QString cells[] = {
        Q(FormatFixed(row.temperature_c, td)),
        row.tension_kgf ? Q(FormatFixed(*row.tension_kgf, 1)) : QString::fromUtf8(kNoSolutionText),
        row.sag_m ? Q(FormatFixed(*row.sag_m, 3)) : QString::fromUtf8(kNoSolutionText)};
    for (int c = 0; c < 3; ++c)
      page.Text(x + c * col, y, col, line, cells[c], points, Qt::AlignRight | Qt::AlignVCenter);
    y += line;
    ++listed;
  }
  if (listed < chart.rows.size()) {
    page.Text(x, y, w, line,
              QStringLiteral("（%1 行のうち %2 行を表示）").arg(chart.rows.size()).arg(listed), 6.5,
              Qt::AlignRight | Qt::AlignVCenter);
    y += line;
  }
  y += 1.5;
  const double ccol = w / 4;
  header(y,
         {QStringLiteral("荷重条件"), QStringLiteral("温度 (℃)"), QStringLiteral("張力 (kgf)"),
          QStringLiteral("許容比 (%)")},
         ccol);
  y += line + 0.4;
  for (const ChartCondition& c : chart.conditions) {
    const bool over = c.percent_of_allowable && *c.percent_of_allowable > 100.0;
    const QString cells[] = {
        Q(LoadClassCaption(c.load_class)), Q(FormatFixed(c.temperature_c, td)),
        c.tension_kgf ? Q(FormatFixed(*c.tension_kgf, 1)) : QString::fromUtf8(kNoSolutionText),
        c.percent_of_allowable ? Q(FormatFixed(*c.percent_of_allowable, 1))
                               : QString::fromUtf8(kNoSolutionText)};
    for (int i = 0; i < 4; ++i)
      page.Text(x + i * ccol, y, ccol, line, cells[i], points, Qt::AlignRight | Qt::AlignVCenter,
                i == 3 && over, i == 3 && over ? kRatioRed : QColor(Qt::black));
    y += line;
  }
  page.Text(x, y + 0.5, w, line,
            QStringLiteral("許容張力 Ta = ") + Q(FormatFixed(chart.allowable_tension_kgf, 1)) +
                QStringLiteral(" kgf"),
            6.5, Qt::AlignRight | Qt::AlignVCenter);
}

double DrawChart(Page& page, const ReportContent& c, double y) {
  y = Heading(page, y, QStringLiteral("張力・弛度表"));
  if (!c.chart.ok()) {
    page.Text(kMargin, y, kContentWidth, 5,
              QStringLiteral("作成できません（") + Q(c.chart.error) + QStringLiteral("）"), 8.5);
    return y + 6;
  }
  const double height = 72;
  DrawChartPlot(page, *c.chart.chart, c.results.specified_sag_value,
                QRectF(kMargin, y, 108, height));
  DrawChartTable(page, *c.chart.chart, kMargin + 112, y, kContentWidth - 112);
  return y + height;
}

// "カメラ …　レンズ …　焦点距離 … mm　向き …"
QString CameraLine(const ReportCamera& c) {
  QString line =
      QStringLiteral("カメラ ") + (c.camera.empty() ? QStringLiteral("（EXIFなし）") : Q(c.camera));
  if (!c.lens.empty())
    line += QStringLiteral("　レンズ ") + Q(c.lens);
  if (!c.focal_mm.empty())
    line += QStringLiteral("　焦点距離 ") + Q(c.focal_mm) + QStringLiteral(" mm");
  if (!c.orientation.empty())
    line += QStringLiteral("　向き ") + Q(c.orientation);
  return line;
}

// "レンズ補正 あり（ptlens a=… b=… c=…、弛度 −7.4 %）　精密追跡 あり（弛度の不確かさ ±0.4 mm）"
QString CorrectionLine(const ReportCamera& c) {
  QString line = QStringLiteral("レンズ補正 ");
  QStringList details;
  if (!c.lens_model.empty())
    details << Q(c.lens_model);
  if (!c.sag_change_percent.empty())
    details << QStringLiteral("補正による弛度の変化 ") + Q(c.sag_change_percent) +
                   QStringLiteral(" %");
  if (!c.lens_note.empty() && c.lens_model.empty())
    details << QStringLiteral("データベースにない");
  line += c.lens_corrected ? QStringLiteral("あり") : QStringLiteral("なし");
  if (!details.isEmpty())
    line += QStringLiteral("（") + details.join(QStringLiteral("、")) + QStringLiteral("）");
  line += QStringLiteral("　精密追跡 ") +
          (c.precision ? QStringLiteral("あり") : QStringLiteral("なし"));
  if (!c.sag_uncertainty_mm.empty())
    line +=
        QStringLiteral("（弛度の不確かさ ±") + Q(c.sag_uncertainty_mm) + QStringLiteral(" mm）");
  return line;
}

void DrawPage(QPainter& painter, const ReportContent& c, const ReportImages& images) {
  Page page(painter);
  double y = kMargin;
  page.Text(kMargin, y, 130, 8, Q(c.title), 15, Qt::AlignLeft | Qt::AlignVCenter, true);
  page.Text(kMargin + 100, y, kContentWidth - 100, 8,
            QStringLiteral("測定日時 ") + Q(c.measured_at), 9, Qt::AlignRight | Qt::AlignVCenter);
  y += 8.5;
  QString photo = QStringLiteral("写真 ") + Q(c.photo_file_name);
  if (c.exif_captured)
    photo += QStringLiteral("　撮影日時（EXIF） ") + Q(*c.exif_captured);
  page.Text(kMargin, y, kContentWidth, 5, photo, 8.5);
  y += 5;
  page.Text(kMargin, y, kContentWidth, 5, CameraLine(c.camera), 8);
  y += 5;
  page.Text(kMargin, y, kContentWidth, 5, CorrectionLine(c.camera), 8);
  y += 6;
  y = DrawOverview(page, c, images, y);
  const double block = 50;
  DrawCrop(page, c, images, kMargin, y, 76, block);
  DrawInputs(page, c.inputs, kMargin + 82, y, kContentWidth - 82);
  y += block + 3;
  y = DrawResults(page, c.results, y);
  y = DrawChart(page, c, y + 2);
  page.Rule(kMargin, kPageHeight - kMargin + 2, kMargin + kContentWidth, kPageHeight - kMargin + 2);
  page.Text(kMargin, kPageHeight - kMargin + 2.5, kContentWidth, 4,
            QStringLiteral("Sarn ") + Q(c.version), 7, Qt::AlignLeft | Qt::AlignVCenter, false,
            QColor(90, 90, 90));
}

}  // namespace

Result<void> WriteReportPdf(const ReportContent& content, const ReportImages& images,
                            const std::string& path) {
  if (!HaveGuiApplication())
    return Failure(MessageId::kReportNeedsGui, {path});
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    writer.setResolution(kDotsPerInch);
    writer.setTitle(Q(content.title));
    writer.setCreator(QStringLiteral("Sarn ") + Q(content.version));
    QPainter painter;
    if (!painter.begin(&writer))
      return Failure(MessageId::kReportCannotStartPage, {path});
    DrawPage(painter, content, images);
    painter.end();
  }
  return ReplaceFile(path, bytes);
}

Result<void> WriteAnnotatedPng(const Raster& working, const ReportOverlay& overlay,
                               const std::string& path) {
  if (!HaveGuiApplication())
    return Failure(MessageId::kReportNeedsGui, {path});
  if (!Drawable(&working))
    return Failure(MessageId::kReportNoWorkingImage, {path});
  QImage image = ImageOf(working).copy();
  {
    QPainter painter(&image);
    DrawOverlay(painter, overlay, std::max(2.0, working.width / 800.0));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
    return Failure(MessageId::kReportCannotEncodePng, {path});
  return ReplaceFile(path, bytes);
}

}  // namespace sarn
