// The window and `sarn measure` drive the same session: a line drawn in the
// offscreen window on a rendered photo puts on the system clipboard exactly
// the text the command line prints for the same line, and the session's JSON
// is the command line's to the byte; a measurement the window saves, the
// command line measures again to the same text.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/form1.h"
#include "photo/load_plan.h"
#include "session/session_json.h"
#include "state/wire_source.h"
#include "state/wire_table.h"
#include "support/span_photo.h"
#include "support/temp_folder.h"
#include "toolkit/qt_clipboard.h"
#include "window/fake_dialogs.h"

namespace sarn::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos)
      break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(WindowAndCommandLine, SameLineSameResultText) {
  TempFolder folder;
  std::ifstream source(std::string(SARN_SOURCE_DIR) + "/data/conductors.txt");
  const WireDataResult table = ParseWireSource(
      std::string((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>()));
  ASSERT_TRUE(table.ok()) << table.failure().English();
  folder.Write("SetDT.dat", SerializeWireData(*table));

  SpanScene scene = ScaledScene(SpanScene{}, 1600, 1200);
  scene.seed = 5;
  const std::string photo = folder.Write("span.jpg", RenderSpanJpeg(scene));

  FakeDialogs dialogs;
  tk::QtClipboard clipboard;
  Form1 form(dialogs, clipboard, folder.path());
  form.Form_Load(*table);
  form.showMaximized();
  QApplication::processEvents();
  dialogs.open_result = photo;
  form.Command1->click();
  QApplication::processEvents();
  ASSERT_TRUE(dialogs.messages.empty());

  // Drag the sample line (photo pixels) on the overview: case C keeps the
  // middle half, so overview = (photo y - H2/2) / ImgScale, x / ImgScale,
  // times 1.004 pixels per overview unit across.
  const PhotoLine line = SampleScanLine(scene);
  const double cut_top = 300;
  auto at = [&](double x, double y) {
    return QPointF(x / form.ImgScale() * (15.06 / 15.0), (y - cut_top) / form.ImgScale());
  };
  auto send = [&](QEvent::Type type, QPointF p, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, p, form.Picture1->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(form.Picture1, &event);
  };
  send(QEvent::MouseButtonPress, at(line.x1, line.y1), Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, at(line.x2, line.y2), Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, at(line.x2, line.y2), Qt::LeftButton, Qt::NoButton);
  ASSERT_TRUE(form.Line1[1]->Visible()) << "the release scanned";
  const std::string window_text = QGuiApplication::clipboard()->text().toStdString();

  // The same line for the command line, in photo pixels as the window holds
  // it, and the picture area the window rounds it in.
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  const WorkingImagePlan plan = *PlanWorkingImage(scene.width, scene.height, 5000, true);
  const double scale = form.ImgScale();
  WorkingToPhoto(plan, scene.width, scene.height, form.Line1[0]->X1() * scale,
                 form.Line1[0]->Y1() * scale, &x1, &y1);
  WorkingToPhoto(plan, scene.width, scene.height, form.Line1[0]->X2() * scale,
                 form.Line1[0]->Y2() * scale, &x2, &y2);
  char coordinates[200];
  std::snprintf(coordinates, sizeof coordinates, "%.17g,%.17g,%.17g,%.17g", x1, y1, x2, y2);
  const std::string view_width = std::to_string(form.Session().ViewWidth());
  std::ostringstream out, err, json_out, json_err;
  ASSERT_EQ(RunCli({"measure", photo, "--line", coordinates, "--view-width", view_width}, out, err,
                   CliContext(folder.path())),
            0)
      << err.str();
  EXPECT_EQ(window_text, out.str());
  ASSERT_EQ(Lines(window_text).size(), 7u) << window_text;

  ASSERT_EQ(RunCli({"measure", photo, "--line", coordinates, "--view-width", view_width, "--json"},
                   json_out, json_err, CliContext(folder.path())),
            0)
      << json_err.str();
  EXPECT_EQ(JsonText(MeasurementJson(form.Session(), form.Session().Warnings())) + "\n",
            json_out.str());

  // Saved by the window, measured again by the command line: the same text.
  const std::string saved = folder.PathOf("span.sarn.json");
  ASSERT_TRUE(form.SaveMeasurementTo(saved));
  std::ostringstream from_out, from_err;
  ASSERT_EQ(RunCli({"measure", "--from", saved}, from_out, from_err, CliContext(folder.path())), 0)
      << from_err.str();
  EXPECT_EQ(from_out.str(), window_text);
}

}  // namespace
}  // namespace sarn::test
