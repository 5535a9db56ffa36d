// The stringing-chart dialog and the measurement report, offscreen: what the
// dialog shows and saves, and what a PDF reader finds in a report page.

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/annotated_png.h"
#include "app/chart_dialog.h"
#include "app/report_writer.h"
#include "support/span_photo.h"
#include "support/temp_folder.h"
#include "tension/stringing_chart_text.h"
#include "tension/worked_example.h"
#include "window/report_fixture.h"

namespace sarn {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Save paths handed out in order, and the failures reported.
class ScriptedSaveDialogs : public ChartSaveDialogs {
 public:
  explicit ScriptedSaveDialogs(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  std::optional<std::string> SaveFileName(const std::string&, const std::string& suggested,
                                          const std::string&) override {
    suggested_names->push_back(suggested);
    if (next_ >= paths_.size())
      return std::nullopt;
    return paths_[next_++];
  }
  void ShowError(const std::string& message) override { errors->push_back(message); }

  std::shared_ptr<std::vector<std::string>> suggested_names =
      std::make_shared<std::vector<std::string>>();
  std::shared_ptr<std::vector<std::string>> errors = std::make_shared<std::vector<std::string>>();

 private:
  std::vector<std::string> paths_;
  size_t next_ = 0;
};

TEST(ChartDialog, ShowsCopiesAndSavesTheChart) {
  test::TempFolder folder;
  auto dialogs = std::make_unique<ScriptedSaveDialogs>(std::vector<std::string>{
      folder.PathOf("chart.csv"), folder.PathOf("chart.png"), folder.PathOf("no/such/x.csv")});
  auto errors = dialogs->errors;
  std::string copied;
  ChartDialog dialog(
      nullptr, [&](const std::string& text) { copied = text; }, std::move(dialogs));
  const StringingChartResult chart = ComputeStringingChart(testing::WorkedExampleState(), 1500);
  ASSERT_TRUE(chart.ok()) << chart.failure().English();
  dialog.Show(chart, ChartMarks{0.09});

  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.isModal());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("張力・弛度表"));
  auto* temperatures = dialog.findChild<QTableWidget*>(QStringLiteral("temperatures"));
  auto* conditions = dialog.findChild<QTableWidget*>(QStringLiteral("conditions"));
  ASSERT_TRUE(temperatures && conditions);
  ASSERT_EQ(temperatures->rowCount(), 13);
  EXPECT_EQ(temperatures->item(8, 0)->text(), QStringLiteral("20"));
  EXPECT_EQ(temperatures->item(8, 1)->text(), QStringLiteral("1500.0"));
  EXPECT_EQ(temperatures->item(8, 2)->text(), QStringLiteral("0.093"));
  ASSERT_EQ(conditions->rowCount(), 3);
  EXPECT_EQ(conditions->item(1, 0)->text(), QStringLiteral("乙種"));

  dialog.CopyTable();
  EXPECT_EQ(copied, StringingChartTable(*chart));
  ASSERT_TRUE(dialog.SaveCsv());
  EXPECT_EQ(ReadText(folder.PathOf("chart.csv")), StringingChartCsv(*chart));
  ASSERT_TRUE(dialog.SavePng());
  const QImage png(QString::fromStdString(folder.PathOf("chart.png")), "PNG");
  EXPECT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), dialog.PlotImage().size());
  // A folder that does not exist: reported, nothing claimed saved.
  EXPECT_FALSE(dialog.SaveCsv());
  ASSERT_EQ(errors->size(), 1u);
  EXPECT_NE(errors->front().find("no/such/x.csv"), std::string::npos);

  // A measurement that gives no chart clears the old one rather than showing
  // it as current.
  const StringingChartResult none =
      Failure(MessageId::kNotPositive, {Failure(MessageId::kTermPresentTension)});
  dialog.Update(none);
  EXPECT_FALSE(dialog.chart());
  EXPECT_EQ(temperatures->rowCount(), 0);
  EXPECT_FALSE(dialog.findChild<QPushButton*>()->isEnabled());
  // Said in Japanese, as the whole window.
  EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("summary"))->text().toStdString(),
            "張力・弛度表を作成できません（現在張力 が正の数ではありません）");
}

const test::SyntheticMeasurement& Measurement() {
  static const test::SyntheticMeasurement m = test::MakeSyntheticMeasurement(800, 400);
  return m;
}

// Runs a command and returns its standard output; nullopt when it fails.
std::optional<std::string> Output(const std::string& command) {
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr)
    return std::nullopt;
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    out.append(buffer, n);
  if (::pclose(pipe) != 0)
    return std::nullopt;
  return out;
}

bool HavePoppler() {
  return std::system("command -v pdftotext pdffonts pdfimages >/dev/null 2>&1") == 0;
}

TEST(Report, PdfCarriesTheResultsTheFontAndThePhoto) {
  if (!HavePoppler())
    GTEST_SKIP() << "poppler-utils (pdftotext, pdffonts, pdfimages) are not installed";
  test::TempFolder folder;
  const test::SyntheticMeasurement& m = Measurement();
  const ReportResults& r = m.content.results;
  const std::string pdf = folder.PathOf("report.pdf");
  const Result<void> written = WriteReportPdf(m.content, {&m.working, nullptr}, pdf);
  ASSERT_TRUE(written.ok()) << written.failure().English();

  const std::optional<std::string> text = Output("pdftotext -layout '" + pdf + "' -");
  ASSERT_TRUE(text);
  ASSERT_EQ(r.ratio_percent, "93");  // the worked example at 1501 kgf
  for (const std::string& expected :
       {r.present_tension_kgf + " kgf", r.ratio_percent + " %", r.present_sag_m + " m",
        r.specified_sag_m + " m", r.allow_a, r.allow_bc, std::string("span_0042.jpg"),
        std::string("2024-05-01 10:20:30"), m.content.inputs.wire_name, std::string("張力・弛度表"),
        std::string("Sarn 0.1.0")})
    EXPECT_NE(text->find(expected), std::string::npos) << expected << "\n" << *text;

  const std::optional<std::string> fonts = Output("pdffonts '" + pdf + "'");
  ASSERT_TRUE(fonts);
  std::istringstream lines(*fonts);
  bool embedded = false;
  for (std::string line; std::getline(lines, line);) {
    // name type encoding emb sub uni object ID
    if (line.find("IPAGothic") != std::string::npos && line.find(" yes ") != std::string::npos)
      embedded = true;
  }
  EXPECT_TRUE(embedded) << *fonts;

  const std::optional<std::string> images = Output("pdfimages -list '" + pdf + "'");
  ASSERT_TRUE(images);
  // The heading, its rule and then one line per image: the overview and the
  // magnified crop.
  EXPECT_GE(std::count(images->begin(), images->end(), '\n'), 4) << *images;
  EXPECT_NE(images->find(" image "), std::string::npos) << *images;
}

TEST(Report, AnnotatedPngCarriesTheOverlayInWorkingPixels) {
  test::TempFolder folder;
  const test::SyntheticMeasurement& m = Measurement();
  const std::string png = folder.PathOf("annotated.png");
  const Result<void> written = WriteAnnotatedPng(m.working, m.content.overlay, png);
  ASSERT_TRUE(written.ok()) << written.failure().English();
  const QImage image(QString::fromStdString(png), "PNG");
  ASSERT_EQ(image.width(), m.working.width);
  ASSERT_EQ(image.height(), m.working.height);
  // Lines are two pixels wide and smoothed: look for a pixel of the line's own
  // colour within two pixels across it.
  auto near = [&](double x, double y, int dx, int dy, const QColor& colour) {
    for (int i = -2; i <= 2; ++i) {
      const QColor c = image.pixelColor(static_cast<int>(x) + i * dx, static_cast<int>(y) + i * dy);
      if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
          std::abs(c.blue() - colour.blue()) < 40)
        return true;
    }
    return false;
  };
  const ReportSegment& line = *m.content.overlay.drawn_line;
  EXPECT_TRUE(near((line.x1 + line.x2) / 2, (line.y1 + line.y2) / 2, 0, 1, QColor(0, 255, 0)));
  const ReportSegment& mark = m.content.overlay.station_marks[3];
  EXPECT_TRUE(near(mark.x1, (mark.y1 + mark.y2) / 2, 1, 0, QColor(255, 0, 0)));
  // Away from the lines the photo is as it was.
  EXPECT_EQ(image.pixel(5, 5), m.working.pixels[5 * m.working.width + 5]);
  // A folder that does not exist: a failure naming the path once, no file.
  const std::string missing = folder.PathOf("no/a.png");
  const Result<void> refused = WriteAnnotatedPng(m.working, m.content.overlay, missing);
  ASSERT_FALSE(refused.ok());
  const std::string error = refused.failure().English();
  EXPECT_EQ(error.find(missing + ": cannot create a file beside it ("), 0u) << error;
  EXPECT_EQ(error.find(missing, 1), std::string::npos) << error;
}

}  // namespace
}  // namespace sarn
