#pragma once

// The Qt part of the program: the window, Qt's decoder for photos other than
// JPEG, and the report writers. It is a module beside the executable,
// kQtModuleFile, that the program loads only when one of them is first
// needed, so that the headless commands start without Qt's libraries (49
// shared libraries instead of 7). The module and the program come from the
// same build; the table passes C++ types by reference between them.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "app/report_writer.h"
#include "photo/photo_file.h"

namespace sarn {

inline constexpr const char* kQtModuleFile = "libsarn_qt.so";
// The module's one exported symbol: extern "C" const QtModuleTable* sarn_qt_module().
inline constexpr const char* kQtModuleEntry = "sarn_qt_module";
// Raised whenever the table or a type it passes changes.
inline constexpr uint32_t kQtModuleVersion = 2;

struct QtModuleTable {
  uint32_t version;  // kQtModuleVersion of the module's build
  uint32_t size;     // sizeof(QtModuleTable) of the module's build
  // RunWindow (window_main.h).
  int (*run_window)(int argc, char** argv);
  // tk::DecodeImageWithQt (raster_image.h).
  Result<FallbackPhoto> (*decode_image)(const std::vector<uint8_t>& bytes, int needed_width);
  // WriteReportPdf and WriteAnnotatedPng (report_writer.h). The first call
  // makes the QGuiApplication they need and keeps it for the process.
  Result<void> (*write_report)(const ReportContent& content, const ReportImages& images,
                               const std::string& path);
  Result<void> (*write_annotated)(const Raster& working, const ReportOverlay& overlay,
                                  const std::string& path);
};

using QtModuleEntry = const QtModuleTable* (*)();

}  // namespace sarn
