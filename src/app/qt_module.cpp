// The loadable Qt module (qt_module.h): the window, the decoder and the
// report writers behind one table.

#include "app/qt_module.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <clocale>
#include <cstdlib>
#include <string>

#include "app/window_main.h"
#include "toolkit/raster_image.h"

namespace sarn {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// The report writers paint with Qt Gui, which needs a QGuiApplication; a
// headless command has none, so the first write makes one and keeps it until
// the process ends. Its platform is Qt's offscreen one unless QT_QPA_PLATFORM
// says otherwise: a command writes files and never shows anything, so it
// neither needs a display nor fails on one that has gone away, and the pages
// are the same with or without one. Qt sets the C locale from the
// environment as the application starts; the commands print their numbers in
// the "C" locale, so it is put back.
void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr)
    return;
  if (!IsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::string c_locale = std::setlocale(LC_ALL, nullptr);
  static int argc = 1;
  static char name[] = "sarn";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* const application = new QGuiApplication(argc, argv);
  (void)application;
  std::setlocale(LC_ALL, c_locale.c_str());
}

Result<void> WriteReport(const ReportContent& content, const ReportImages& images,
                         const std::string& path) {
  EnsureGuiApplication();
  return WriteReportPdf(content, images, path);
}

Result<void> WriteAnnotated(const Raster& working, const ReportOverlay& overlay,
                            const std::string& path) {
  EnsureGuiApplication();
  return WriteAnnotatedPng(working, overlay, path);
}

constexpr QtModuleTable kTable = {
    kQtModuleVersion,       sizeof(QtModuleTable), &RunWindow,
    &tk::DecodeImageWithQt, &WriteReport,          &WriteAnnotated,
};

}  // namespace
}  // namespace sarn

extern "C" __attribute__((visibility("default"))) const sarn::QtModuleTable* sarn_qt_module() {
  return &sarn::kTable;
}
