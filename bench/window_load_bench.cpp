// The first photo of a window session, as a user meets it: the window is up
// and maximised, the user has chosen a file, and waits until the overview is
// on the screen. One run of this program is one such session:
//
//   window_load_bench PHOTO SETDT.dat
//
// It starts the window as the program does (fonts, conductor table, Form1
// maximised, first paint done), then takes the time at the moment the file
// dialog would hand back the path, calls Form1::OpenPhoto with it (decode,
// working image, overview, boxes, window fit) and stops the clock once
// Picture1 has been painted with the new photo and the event loop has come
// back: the window's backing store is flushed to the display in the same
// pass that delivers the paint. Printed: "WALL_MS CPU_MS" (CPU time of the
// whole process over the same interval, the steadier figure on a shared
// machine). Run it in a fresh process per round against `djpeg` (see
// bench/first_load.sh), on a real X server: offscreen painting skips the copy
// to the display.

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "app/form1.h"
#include "state/wire_table.h"
#include "toolkit/control_fonts.h"
#include "toolkit/picture_box.h"
#include "toolkit/qt_clipboard.h"
#include "toolkit/qt_dialogs.h"

namespace {

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Once armed, calls `painted` when the event loop comes back after Picture1's
// first paint.
class PaintWatch : public QObject {
 public:
  bool armed = false;
  std::function<void()> painted;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (armed && event->type() == QEvent::Paint) {
      armed = false;
      QTimer::singleShot(0, painted);
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_load_bench PHOTO SETDT.dat\n");
    return 2;
  }
  const std::string photo = argv[1];
  QApplication application(argc, argv);
  sarn::tk::InstallControlFonts();
  sarn::tk::QtDialogs dialogs("Sarn");
  sarn::tk::QtClipboard clipboard;
  const sarn::WireDataResult wires = sarn::ReadWireData(argv[2]);
  if (!wires.ok()) {
    std::fprintf(stderr, "window_load_bench: %s\n", wires.failure().English().c_str());
    return 2;
  }
  // hi.dat of this session goes to a folder of its own.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("sarn_window_load_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);

  int status = 1;
  {
    sarn::Form1 form(dialogs, clipboard, folder.string());
    dialogs.SetParent(&form);
    form.Form_Load(*wires);
    PaintWatch watch;
    form.Picture1->installEventFilter(&watch);

    std::chrono::steady_clock::time_point start;
    double cpu_start = 0;
    watch.painted = [&] {
      const double wall =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      std::printf("%.2f %.2f\n", wall, CpuMs() - cpu_start);
      status = form.PhotoPath() == photo ? 0 : 1;
      QApplication::quit();
    };

    form.RunWhenShownMaximized([&] {
      // The window's own first paint happens before the user can choose.
      QTimer::singleShot(50, [&] {
        start = std::chrono::steady_clock::now();
        cpu_start = CpuMs();
        form.OpenPhoto(photo);
        // Only paints of the new photo count: those after the load returned.
        watch.armed = true;
      });
    });
    form.showMaximized();
    QApplication::exec();
  }
  std::filesystem::remove_all(folder);
  return status;
}
