// The window's start-up: the application, the fonts and Qt's Japanese, the conductor table
// (read before anything is shown, so the window never opens on a partly read
// table), Form1 maximised, and the photo named on the command line, loaded
// once the window has its maximised size.

#include "app/window_main.h"

#include <QApplication>
#include <iostream>
#include <string>

#include "app/form1.h"
#include "state/program_folder.h"
#include "state/wire_table.h"
#include "toolkit/control_fonts.h"
#include "toolkit/japanese_ui.h"
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
  // The captions are Japanese; Qt's own dialogs and buttons follow them,
  // whatever the user's LANG.
  if (!tk::InstallJapaneseInterface())
    std::cerr << "sarn: Qt's Japanese texts (" << tk::kQtCatalogue << ".qm, package "
              << "qt6-translations-l10n) not found in " << tk::QtTranslationFolder().toStdString()
              << "; Qt's dialogs stay in English\n";
  tk::QtDialogs dialogs(kProgramTitle);
  tk::QtClipboard clipboard;

  const std::string folder = ProgramFolder();
  const WireDataResult wires = ReadWireData(folder + "/SetDT.dat");
  if (!wires.ok()) {
    std::cerr << "sarn: " << wires.failure().English() << '\n';
    dialogs.MessageOk(wires.failure().Japanese());
    return 1;
  }

  // hi.dat goes beside the program, or to the user's state folder when the
  // program folder cannot be written (an installed program).
  Form1 form(dialogs, clipboard, HiDatFolder(folder));
  dialogs.SetParent(&form);
  form.Form_Load(*wires);

  if (argc > 1) {
    // As if chosen with 画像ファイル読み込み: the overview spans the maximised
    // window, MaxHeight holds its real outer height, and the fit leaves the
    // maximised state as it does for a photo chosen in the window.
    const std::string photo = argv[1];
    form.RunWhenShownMaximized([&form, photo] { form.OpenPhoto(photo); });
  }
  form.showMaximized();
  return QApplication::exec();
}

}  // namespace sarn
