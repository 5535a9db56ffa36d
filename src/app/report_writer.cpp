#include "app/report_writer.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "app/report_chart.h"
#include "app/report_drawing.h"
#include "app/report_page.h"
#include "tension/stringing_chart_text.h"
#include "toolkit/bgr_color.h"
#include "toolkit/raster_image.h"

namespace sarn {
namespace {

// Pictures are embedded at no more than this resolution (dots per mm, about
// 250 dpi): enough for print, and a 48-megapixel photo does not make a 100 MB
// page.
constexpr double kImageDotsPerMm = 10;

// The ratio's yellow and red, as the window shows it.
const QColor kRatioYellow = tk::ColorOfBgr(tk::kBgrYellow);
const QColor kRatioRed = tk::ColorOfBgr(tk::kBgrRed);

// The image `source` fitted into `box_mm` (aspect kept, centred at the top),
// embedded at no more than kImageDotsPerMm; returns where it was drawn, in dots.
QRectF DrawFitted(Page& page, const QImage& source, const QRectF& box_mm) {
  const double scale = std::min(box_mm.width() / source.width(), box_mm.height() / source.height());
  const double width = source.width() * scale, height = source.height() * scale;
  const QRectF target =
      page.Rect(box_mm.x() + (box_mm.width() - width) / 2, box_mm.y(), width, height);
  const int embed_width =
      static_cast<int>(std::min<double>(source.width(), width * kImageDotsPerMm));
  const QImage embedded = embed_width < source.width()
                              ? source.scaledToWidth(embed_width, Qt::SmoothTransformation)
                              : source;
  page.painter.drawImage(target, embedded);
  return target;
}

// The photo with the overlay; returns the y below it.
double DrawOverview(Page& page, const ReportContent& content, const ReportImages& images,
                    double y) {
  const double max_height = 72;
  const QRectF box(kMargin, y, kContentWidth, max_height);
  const Raster* source = Drawable(images.overview) ? images.overview : images.working;
  if (!Drawable(source)) {
    page.painter.setPen(QPen(kRuleColour, page.Dots(0.2)));
    page.painter.drawRect(page.Rect(box.x(), box.y(), box.width(), 20));
    page.Text(box.x(), box.y(), box.width(), 20, QStringLiteral("写真なし"), 10, Qt::AlignCenter);
    return y + 22;
  }
  const QRectF target = DrawFitted(page, tk::ImageOfRaster(*source), box);
  if (Drawable(images.working)) {
    page.painter.save();
    page.painter.setClipRect(target);
    page.painter.translate(target.topLeft());
    page.painter.scale(target.width() / images.working->width,
                       target.height() / images.working->height);
    DrawOverlay(page.painter, content.overlay, page.Dots(0.3));
    page.painter.restore();
  }
  return y + target.height() * 25.4 / kDotsPerInch + 2;
}

// The working image around the middle station, magnified pixel for pixel,
// with the overlay; caption above it.
void DrawCrop(Page& page, const ReportContent& content, const ReportImages& images, double x,
              double y, double width, double height) {
  const QRectF box = page.Rect(x, y + 5, width, height - 5);
  page.painter.setPen(QPen(kRuleColour, page.Dots(0.2)));
  page.painter.setBrush(Qt::NoBrush);
  page.painter.drawRect(box);
  if (!Drawable(images.working) || !content.middle_station) {
    page.Text(x, y, width, 5, QStringLiteral("中央測点の拡大"), 8.5);
    page.Text(x, y + 5, width, height - 5, QStringLiteral("測点なし"), 9, Qt::AlignCenter);
    return;
  }
  const Raster& working = *images.working;
  // About a fourteenth of the working width across, at least 80 pixels.
  const int crop_w = std::min(working.width, std::clamp(working.width / 14, 80, 600));
  const int crop_h =
      std::min(working.height, std::max(1, static_cast<int>(crop_w * box.height() / box.width())));
  const int left = std::clamp(static_cast<int>(std::lround(content.middle_station->x)) - crop_w / 2,
                              0, working.width - crop_w);
  const int top = std::clamp(static_cast<int>(std::lround(content.middle_station->y)) - crop_h / 2,
                             0, working.height - crop_h);
  const QImage crop = tk::ImageOfRaster(working).copy(left, top, crop_w, crop_h);
  const double magnification = std::min(box.width() / crop_w, box.height() / crop_h);
  // Nearest-neighbour enlargement, so that the page shows the pixels the
  // scan read.
  const QImage enlarged = crop.scaled(static_cast<int>(crop_w * magnification),
                                      static_cast<int>(crop_h * magnification),
                                      Qt::IgnoreAspectRatio, Qt::FastTransformation);
  const QRectF target(box.x(), box.y(), crop_w * magnification, crop_h * magnification);
  page.painter.drawImage(target, enlarged);
  page.painter.save();
  page.painter.setClipRect(target);
  page.painter.translate(target.x() - left * magnification, target.y() - top * magnification);
  page.painter.scale(magnification, magnification);
  DrawOverlay(page.painter, content.overlay, page.Dots(0.35));
  page.painter.restore();
  page.Text(x, y, width, 5,
            QStringLiteral("中央測点の拡大（作業画像 %1 × %2 画素）").arg(crop_w).arg(crop_h), 8.5);
}

QString YesNo(bool on) {
  return on ? QStringLiteral("あり") : QStringLiteral("なし");
}

double DrawInputs(Page& page, const ReportInputs& inputs, double x, double y, double width) {
  QStringList classes;
  const LoadClass order[] = {LoadClass::A, LoadClass::B, LoadClass::C};
  for (size_t i = 0; i < inputs.classes.size(); ++i) {
    if (inputs.classes[i])
      classes << QText(LoadClassCaption(order[i]));
  }
  const std::vector<std::pair<QString, QString>> rows = {
      {QStringLiteral("電線サイズ"), QText(inputs.wire_name)},
      {QStringLiteral("径間長"), QText(inputs.span_m) + QStringLiteral(" m")},
      {QStringLiteral("撮影時気温"), QText(inputs.air_temp_c) + QStringLiteral(" ℃")},
      {QStringLiteral("概算距離／概算高さ"),
       QText(inputs.approx_distance_m) + QStringLiteral(" m／") + QText(inputs.approx_height_m) +
           QStringLiteral(" m")},
      {QStringLiteral("幅・高さ・径間補正"),
       YesNo(inputs.width_correction) + QStringLiteral("・") + YesNo(inputs.height_correction) +
           QStringLiteral("・") + YesNo(inputs.span_correction)},
      {QStringLiteral("甲種温度／低温期温度"),
       QText(inputs.design_temp_a_c) + QStringLiteral(" ℃／") + QText(inputs.design_temp_low_c) +
           QStringLiteral(" ℃")},
      {QStringLiteral("対象風圧荷重"), classes.join(QStringLiteral("・"))},
      {QStringLiteral("明るさ閾値"),
       QText(inputs.threshold) +
           (inputs.criterion_darkness ? QStringLiteral("（黒さ）") : QStringLiteral("（変化値）"))},
  };
  page.Text(x, y, width, 5, QStringLiteral("入力"), 8.5, Qt::AlignLeft | Qt::AlignVCenter, true);
  return Rows(page, x, y + 5, 38, width - 38, rows);
}

double DrawResults(Page& page, const ReportResults& results, double y) {
  y = Heading(page, y, QStringLiteral("結果"));
  const double line = 5;
  const double left = kMargin, right = kMargin + 96;
  // Left column: sag, estimates with their ticks, present tension.
  double yl = Rows(
      page, left, y, 30, 50,
      {{QStringLiteral("現在弛度"), QText(results.present_sag_m) + QStringLiteral(" m")}}, line, 9);
  // The three estimates, each with the tick that puts it into the present
  // tension.
  const char* chords[] = {"4/4", "3/4", "2/4"};
  page.Text(left, yl, 30, line, QStringLiteral("計算径間"), 9, Qt::AlignLeft | Qt::AlignVCenter,
            false, kCaptionColour);
  for (size_t i = 0; i < results.estimates.size(); ++i) {
    page.TickBox(left + 30, yl + 1.1, 2.8, results.estimates[i].ticked);
    page.Text(left + 34, yl, 10, line, QString::fromUtf8(chords[i]), 9);
    page.Text(left + 44, yl, 36, line,
              QText(results.estimates[i].tension_kgf) + QStringLiteral(" kgf"), 9);
    yl += line;
  }
  yl = Rows(
      page, left, yl, 30, 50,
      {{QStringLiteral("現在張力"), QText(results.present_tension_kgf) + QStringLiteral(" kgf")}},
      line, 9);
  // Right column: allowable tensions, ratio on its colour, specified sag.
  double yr = Rows(page, right, y, 30, 56,
                   {{QStringLiteral("径間許容張力"),
                     QText(results.allow_a) + QStringLiteral("　") + QText(results.allow_bc)}},
                   line, 9);
  page.Text(right, yr, 30, 8, QStringLiteral("許容張力比"), 9, Qt::AlignLeft | Qt::AlignVCenter,
            false, kCaptionColour);
  const QRectF ratio_box = page.Rect(right + 30, yr + 0.5, 24, 7);
  page.painter.setPen(Qt::NoPen);
  page.painter.setBrush(results.ratio_red ? kRatioRed : kRatioYellow);
  page.painter.drawRect(ratio_box);
  page.painter.setBrush(Qt::NoBrush);
  page.Text(right + 30, yr + 0.5, 24, 7, QText(results.ratio_percent) + QStringLiteral(" %"), 13,
            Qt::AlignCenter, true);
  yr += 8.5;
  yr = Rows(page, right, yr, 30, 56,
            {{QStringLiteral("規定弛度"), QText(results.specified_sag_m) + QStringLiteral(" m")}},
            line, 9);
  double bottom = std::max(yl, yr);
  if (!results.failure.empty()) {
    page.Text(kMargin, bottom, kContentWidth, 4.5,
              QStringLiteral("評価は途中で止まりました: ") + QText(results.failure), 8,
              Qt::AlignLeft | Qt::AlignVCenter, false, kRatioRed);
    bottom += 4.5;
  }
  return bottom + 1;
}

// "カメラ …　レンズ …　焦点距離 … mm"
QString CameraLine(const ReportCamera& camera) {
  QString line = QStringLiteral("カメラ ") +
                 (camera.camera.empty() ? QStringLiteral("（EXIFなし）") : QText(camera.camera));
  if (!camera.lens.empty())
    line += QStringLiteral("　レンズ ") + QText(camera.lens);
  if (!camera.focal_mm.empty())
    line += QStringLiteral("　焦点距離 ") + QText(camera.focal_mm) + QStringLiteral(" mm");
  return line;
}

// "レンズ補正 あり（ptlens a=… b=… c=…、弛度 −7.4 %）　精密追跡 あり（弛度の不確かさ ±0.4 mm）"
QString CorrectionLine(const ReportCamera& camera) {
  QString line = QStringLiteral("レンズ補正 ");
  QStringList details;
  if (!camera.lens_model.empty())
    details << QText(camera.lens_model);
  if (!camera.sag_change_percent.empty())
    details << QStringLiteral("補正による弛度の変化 ") + QText(camera.sag_change_percent) +
                   QStringLiteral(" %");
  if (!camera.lens_note.empty() && camera.lens_model.empty())
    details << QText(camera.lens_note);
  line += camera.lens_corrected ? QStringLiteral("あり") : QStringLiteral("なし");
  if (!details.isEmpty())
    line += QStringLiteral("（") + details.join(QStringLiteral("、")) + QStringLiteral("）");
  line += QStringLiteral("　精密追跡 ") +
          (camera.precision ? QStringLiteral("あり") : QStringLiteral("なし"));
  if (!camera.sag_uncertainty_mm.empty())
    line += QStringLiteral("（弛度の不確かさ ±") + QText(camera.sag_uncertainty_mm) +
            QStringLiteral(" mm）");
  return line;
}

void DrawPage(QPainter& painter, const ReportContent& content, const ReportImages& images) {
  Page page(painter);
  double y = kMargin;
  page.Text(kMargin, y, 130, 8, QText(content.title), 15, Qt::AlignLeft | Qt::AlignVCenter, true);
  page.Text(kMargin + 100, y, kContentWidth - 100, 8,
            QStringLiteral("測定日時 ") + QText(content.measured_at), 9,
            Qt::AlignRight | Qt::AlignVCenter);
  y += 8.5;
  QString photo = QStringLiteral("写真 ") + QText(content.photo_file_name);
  if (content.exif_captured)
    photo += QStringLiteral("　撮影日時（EXIF） ") + QText(*content.exif_captured);
  if (!content.photo_orientation.empty())
    photo += QStringLiteral("　向き ") + QText(content.photo_orientation);
  page.Text(kMargin, y, kContentWidth, 5, photo, 8.5);
  y += 5;
  page.Text(kMargin, y, kContentWidth, 5, CameraLine(content.camera), 8);
  y += 5;
  page.Text(kMargin, y, kContentWidth, 5, CorrectionLine(content.camera), 8);
  y += 6;
  y = DrawOverview(page, content, images, y);
  const double block = 50;
  DrawCrop(page, content, images, kMargin, y, 76, block);
  DrawInputs(page, content.inputs, kMargin + 82, y, kContentWidth - 82);
  y += block + 3;
  y = DrawResults(page, content.results, y);
  y = DrawChart(page, content, y + 2);
  page.Rule(kMargin, kPageHeight - kMargin + 2, kMargin + kContentWidth, kPageHeight - kMargin + 2);
  page.Text(kMargin, kPageHeight - kMargin + 2.5, kContentWidth, 4,
            QStringLiteral("Sarn ") + QText(content.version), 7, Qt::AlignLeft | Qt::AlignVCenter,
            false, QColor(90, 90, 90));
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
    writer.setTitle(QText(content.title));
    writer.setCreator(QStringLiteral("Sarn ") + QText(content.version));
    QPainter painter;
    if (!painter.begin(&writer))
      return Failure(MessageId::kReportCannotStartPage, {path});
    DrawPage(painter, content, images);
    painter.end();
  }
  return ReplaceFileWithQBytes(path, bytes);
}

}  // namespace sarn
