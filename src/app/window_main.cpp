// The window's start-up: the application, the fonts, the conductor table
// (read before anything is shown, so the window never opens on a partly read
// table), Form1 maximised, and the photo named on the command line.

#include "app/window_main.h"

#include <QApplication>
#include <QTimer>
#include <iostream>
#include <string>

#include "app/form1.h"
#include "state/program_folder.h"
#include "state/wire_table.h"
#include "toolkit/control_fonts.h"
#include "toolkit/qt_clipboard.h"
#include "toolkit/qt_dialogs.h"

namespace sarn {

namespace {
constexpr const char* kProgramTitle = "Sarn";
}  // namespace

int RunWindow(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(kProgramTitle);
  tk::InstallControlFonts();
  tk::QtDialogs dialogs(kProgramTitle);
  tk::QtClipboard clipboard;

  const std::string folder = ProgramFolder();
  const WireDataResult wires = ReadWireData(folder + "/SetDT.dat");
  if (!wires.data) {
    std::cerr << "sarn: " << wires.error << '\n';
    dialogs.MessageOk(wires.error);
    return 1;
  }

  Form1 form(dialogs, clipboard, folder);
  dialogs.SetParent(&form);
  form.Form_Load(*wires.data);
  form.showMaximized();

  if (argc > 1) {
    // After the window has taken its maximised size, which the overview spans.
    const std::string photo = argv[1];
    QTimer::singleShot(0, &form, [&form, photo] { form.OpenPhoto(photo); });
  }
  return QApplication::exec();
}

}  // namespace sarn
