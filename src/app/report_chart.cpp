#include "app/report_chart.h"

#include <QPen>
#include <QPolygonF>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <optional>

#include "app/chart_plot.h"
#include "tension/chart_axes.h"
#include "tension/stringing_chart_text.h"
#include "toolkit/bgr_color.h"

namespace sarn {
namespace {

// At most this many temperatures are listed on the page; longer ranges are
// thinned to every n-th row (the plot keeps them all).
constexpr size_t kMaxListedRows = 15;

const QColor kGridColour(225, 225, 225);
const QColor kOverAllowableColour = tk::ColorOfBgr(tk::kBgrRed);  // as the ratio above 100 %

// The plot of the stringing chart: temperature across, tension on the left
// axis, sag on the right; the present point and the specified sag marked.
void DrawChartPlot(Page& page, const StringingChart& chart, const StringingChartTexts& texts,
                   std::optional<double> specified_sag, const QRectF& area_mm) {
  const QRectF plot(area_mm.x() + 13, area_mm.y() + 6, area_mm.width() - 26, area_mm.height() - 14);
  if (specified_sag && !std::isfinite(*specified_sag))
    specified_sag.reset();
  const ChartAxes axes = ChartAxesOf(chart, specified_sag);
  const ChartAxis& temperature = axes.temperature;
  const ChartAxis& tension = axes.tension;
  const ChartAxis& sag = axes.sag;
  auto x_of = [&](double t) {
    return plot.x() + (t - temperature.low) / (temperature.high - temperature.low) * plot.width();
  };
  auto tension_y = [&](double v) {
    return plot.bottom() - (v - tension.low) / (tension.high - tension.low) * plot.height();
  };
  auto sag_y = [&](double v) {
    return plot.bottom() - (v - sag.low) / (sag.high - sag.low) * plot.height();
  };

  // Grid and tick labels.
  for (double t : temperature.Ticks()) {
    page.Rule(x_of(t), plot.top(), x_of(t), plot.bottom(), kGridColour, 0.15);
    page.Text(x_of(t) - 8, plot.bottom() + 0.5, 16, 3.5, QText(temperature.Label(t)), 6.5,
              Qt::AlignHCenter | Qt::AlignTop);
  }
  for (double v : tension.Ticks()) {
    page.Rule(plot.left(), tension_y(v), plot.right(), tension_y(v), kGridColour, 0.15);
    page.Text(plot.left() - 13, tension_y(v) - 1.75, 12, 3.5, QText(tension.Label(v)), 6.5,
              Qt::AlignRight | Qt::AlignVCenter, false, kTensionColour);
  }
  for (double v : sag.Ticks()) {
    page.Text(plot.right() + 1, sag_y(v) - 1.75, 12, 3.5, QText(sag.Label(v)), 6.5,
              Qt::AlignLeft | Qt::AlignVCenter, false, kSagColour);
  }
  QPainter& painter = page.painter;
  painter.setPen(QPen(kRuleColour, page.Dots(0.2)));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(page.Rect(plot.x(), plot.y(), plot.width(), plot.height()));
  page.Text(plot.x(), plot.bottom() + 4, plot.width(), 3.5, QStringLiteral("温度 (℃)"), 7,
            Qt::AlignHCenter | Qt::AlignTop);
  page.Text(plot.left() - 13, plot.top() - 5, 30, 4, QStringLiteral("張力 (kgf)"), 7,
            Qt::AlignLeft | Qt::AlignVCenter, false, kTensionColour);
  page.Text(plot.right() - 17, plot.top() - 5, 30, 4, QStringLiteral("弛度 (m)"), 7,
            Qt::AlignRight | Qt::AlignVCenter, false, kSagColour);

  // The two curves; a temperature without a solution breaks the line.
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  auto curve = [&](auto value_of, auto y_of, const QColor& colour) {
    painter.setPen(QPen(colour, page.Dots(0.45)));
    QPolygonF run;
    for (const ChartRow& row : chart.rows) {
      const std::optional<double> value = value_of(row);
      if (!value) {
        if (run.size() > 1)
          painter.drawPolyline(run);
        run.clear();
        continue;
      }
      run << page.Point(x_of(row.temperature_c), y_of(*value));
    }
    if (run.size() > 1)
      painter.drawPolyline(run);
  };
  curve([](const ChartRow& row) { return row.tension_kgf; }, tension_y, kTensionColour);
  curve([](const ChartRow& row) { return row.sag_m; }, sag_y, kSagColour);
  if (specified_sag) {
    QPen dashed(kSagColour, page.Dots(0.3), Qt::DashLine);
    painter.setPen(dashed);
    painter.drawLine(page.Point(plot.left(), sag_y(*specified_sag)),
                     page.Point(plot.right(), sag_y(*specified_sag)));
    page.Text(plot.left() + 1, sag_y(*specified_sag) - 3.6, 40, 3.4,
              QStringLiteral("規定弛度 ") + QText(SpecifiedSagText(*specified_sag)) +
                  QStringLiteral(" m"),
              6.5, Qt::AlignLeft | Qt::AlignVCenter, false, kSagColour);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(kTensionColour);
  painter.drawEllipse(page.Point(x_of(chart.air_temp_c), tension_y(chart.present_tension_kgf)),
                      page.Dots(1), page.Dots(1));
  painter.setBrush(kSagColour);
  const QPointF sag_point = page.Point(x_of(chart.air_temp_c), sag_y(chart.present_sag_m));
  painter.drawRect(QRectF(sag_point.x() - page.Dots(0.9), sag_point.y() - page.Dots(0.9),
                          page.Dots(1.8), page.Dots(1.8)));
  painter.restore();
  page.Text(plot.x(), plot.bottom() + 7.5, plot.width(), 3.5,
            QStringLiteral("● 現在張力　■ 現在弛度（撮影時気温 ") + QText(texts.air_temp) +
                QStringLiteral(" ℃）"),
            6.5, Qt::AlignHCenter | Qt::AlignTop, false, kCaptionColour);
}

// The table beside the plot: the temperatures (thinned when long) and the
// design conditions.
void DrawChartTable(Page& page, const StringingChartTexts& texts, double x, double y,
                    double width) {
  const double line = 3.5, points = 7;
  const double column = width / 3;
  auto header = [&](double header_y, const QStringList& names, double name_width) {
    for (int i = 0; i < names.size(); ++i)
      page.Text(x + i * name_width, header_y, name_width, line, names[i], points,
                Qt::AlignRight | Qt::AlignVCenter, true);
    page.Rule(x, header_y + line, x + width, header_y + line);
  };
  header(y, {QStringLiteral("温度 (℃)"), QStringLiteral("張力 (kgf)"), QStringLiteral("弛度 (m)")},
         column);
  y += line + 0.4;
  const size_t rows = texts.rows.size();
  const size_t every = (rows + kMaxListedRows - 1) / kMaxListedRows;
  size_t listed = 0;
  for (size_t i = 0; i < rows; i += std::max<size_t>(every, 1)) {
    const ChartRowTexts& row = texts.rows[i];
    const QString cells[] = {QText(row.temperature), QText(row.tension), QText(row.sag)};
    for (int cell = 0; cell < 3; ++cell)
      page.Text(x + cell * column, y, column, line, cells[cell], points,
                Qt::AlignRight | Qt::AlignVCenter);
    y += line;
    ++listed;
  }
  if (listed < rows) {
    page.Text(x, y, width, line,
              QStringLiteral("（%1 行のうち %2 行を表示）").arg(rows).arg(listed), 6.5,
              Qt::AlignRight | Qt::AlignVCenter);
    y += line;
  }
  y += 1.5;
  const double condition_column = width / 4;
  header(y,
         {QStringLiteral("荷重条件"), QStringLiteral("温度 (℃)"), QStringLiteral("張力 (kgf)"),
          QStringLiteral("許容比 (%)")},
         condition_column);
  y += line + 0.4;
  for (const ChartConditionTexts& condition : texts.conditions) {
    const bool over = condition.over_allowable;
    const QString cells[] = {QText(condition.caption), QText(condition.temperature),
                             QText(condition.tension), QText(condition.percent_of_allowable)};
    for (int i = 0; i < 4; ++i)
      page.Text(x + i * condition_column, y, condition_column, line, cells[i], points,
                Qt::AlignRight | Qt::AlignVCenter, i == 3 && over,
                i == 3 && over ? kOverAllowableColour : QColor(Qt::black));
    y += line;
  }
  page.Text(
      x, y + 0.5, width, line,
      QStringLiteral("許容張力 Ta = ") + QText(texts.allowable_tension) + QStringLiteral(" kgf"),
      6.5, Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace

double DrawChart(Page& page, const ReportContent& content, double y) {
  y = Heading(page, y, QStringLiteral("張力・弛度表"));
  if (!content.chart.ok()) {
    page.Text(kMargin, y, kContentWidth, 5,
              QStringLiteral("作成できません（") + QText(content.chart.failure().Japanese()) +
                  QStringLiteral("）"),
              8.5);
    return y + 6;
  }
  const double height = 72;
  const StringingChart& chart = *content.chart;
  const StringingChartTexts texts = ChartTexts(chart, kNoSolutionText);
  DrawChartPlot(page, chart, texts, content.results.specified_sag_value,
                QRectF(kMargin, y, 108, height));
  DrawChartTable(page, texts, kMargin + 112, y, kContentWidth - 112);
  return y + height;
}

}  // namespace sarn
