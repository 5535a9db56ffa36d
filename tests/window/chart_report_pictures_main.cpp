// Renders the README's pictures of the stringing-chart dialog and of a report
// page (through pdftoppm), from the synthetic measurement of the tests:
//
//   sarn_chart_report_pictures docs [REPORT.pdf]
//
// writes docs/chart.png and docs/report.png, and keeps the report's PDF when a
// path is given for it.

#include <QApplication>
#include <QPixmap>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/chart_dialog.h"
#include "app/report_writer.h"
#include "support/temp_folder.h"
#include "toolkit/control_fonts.h"
#include "window/report_fixture.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  if (argc != 2 && argc != 3) {
    std::cerr << "usage: sarn_chart_report_pictures OUT_FOLDER [REPORT.pdf]\n";
    return 2;
  }
  sarn::tk::InstallControlFonts();
  const std::string out = argv[1];
  const sarn::test::SyntheticMeasurement m = sarn::test::MakeSyntheticMeasurement(2000, 1000);

  sarn::ChartDialog dialog(nullptr, [](const std::string&) {});
  dialog.Show(m.content.chart, sarn::ChartMarks{m.content.results.specified_sag_value});
  dialog.resize(1000, 600);
  // Let the chart lay its series out at the new size before the grab.
  QApplication::processEvents();
  if (!dialog.grab().save(QString::fromStdString(out + "/chart.png"))) {
    std::cerr << "cannot write " << out << "/chart.png\n";
    return 1;
  }

  sarn::test::TempFolder folder;
  const std::string pdf = argc == 3 ? argv[2] : folder.PathOf("report.pdf");
  if (const sarn::Result<void> written =
          sarn::WriteReportPdf(m.content, {&m.working, nullptr}, pdf);
      !written) {
    const std::string error = written.failure().English();
    std::cerr << error << "\n";
    return 1;
  }
  const std::string command = "pdftoppm -png -r 110 -singlefile '" + pdf + "' '" + out + "/report'";
  if (std::system(command.c_str()) != 0) {
    std::cerr << "pdftoppm failed: " << command << "\n";
    return 1;
  }
  return 0;
}
