// Renders Form1 offscreen for the README: the bundled conductor table, a
// rendered 4000 x 3000 span photo, and a line drawn above the conductor, so
// the picture shows the chord, the station marks and the results.
//
//   sarn_window_screenshot data/conductors.txt docs/window.png

#include <QApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/form1.h"
#include "state/wire_source.h"
#include "state/wire_table.h"
#include "support/span_photo.h"
#include "support/temp_folder.h"
#include "toolkit/control_fonts.h"
#include "window/form_fixture.h"

namespace {

void Send(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButton button,
          Qt::MouseButtons held) {
  QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The photo it opens is not one for the user's recent list.
  const sarn::test::TempFolder config;
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  QApplication application(argc, argv);
  if (argc != 3) {
    std::cerr << "usage: sarn_window_screenshot CONDUCTORS.txt OUT.png\n";
    return 2;
  }
  sarn::tk::InstallControlFonts();

  std::ifstream source(argv[1]);
  std::stringstream text;
  text << source.rdbuf();
  const sarn::WireDataResult wires = sarn::ParseWireSource(text.str());
  if (!wires.ok()) {
    std::cerr << "sarn_window_screenshot: " << wires.failure().English() << '\n';
    return 1;
  }

  sarn::test::TempFolder folder;
  const sarn::test::SpanScene scene = sarn::test::SampleSpanScene();
  const std::string photo = folder.Write("span.jpg", sarn::test::RenderSpanJpeg(scene));

  sarn::test::FakeDialogs dialogs;
  sarn::test::FakeClipboard clipboard;
  sarn::Form1 form(dialogs, clipboard, folder.path());
  form.Form_Load(*wires);
  form.Combo1->SetListIndex(6);  // a mid-size ACSR conductor
  form.resize(1004, 596);
  form.show();
  QApplication::processEvents();
  form.OpenPhoto(photo);
  QApplication::processEvents();

  // The sample line, photo pixels -> overview pixels (cut on: rows from H/4).
  const sarn::test::PhotoLine line = sarn::test::SampleScanLine(scene);
  const double cut_top = scene.height / 4.0;
  auto at = [&](double x, double y) {
    return QPointF(x / form.ImgScale() * (15.06 / 15.0), (y - cut_top) / form.ImgScale());
  };
  const QPointF from = at(line.x1, line.y1), to = at(line.x2, line.y2);
  Send(form.Picture1, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  Send(form.Picture1, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  Send(form.Picture1, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  QApplication::processEvents();

  if (!form.grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::cerr << "sarn_window_screenshot: cannot write " << argv[2] << '\n';
    return 1;
  }
  std::cout << "wrote " << argv[2] << " (" << form.width() << " x " << form.height() << ")\n";
  return 0;
}
