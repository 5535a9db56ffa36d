// The Qt module through the hooks the program gives the commands: nothing of
// Qt is in the process until a hook is first called, and then the writers
// work in a process without a display or an application of its own, and the
// decoder reads what they wrote.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "app/qt_module_loader.h"
#include "photo/raster.h"
#include "support/temp_folder.h"

namespace sarn::test {
namespace {

bool QtInProcess() {
  std::ifstream maps("/proc/self/maps");
  const std::string text((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
  return text.find("libQt6") != std::string::npos;
}

std::string Head(const std::string& path, size_t count) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.begin() + std::min(count, bytes.size()));
}

TEST(QtModule, LoadsOnFirstUseAndWritesWithoutADisplay) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    ::unsetenv(name);
  // Qt sets the C locale from the environment as its application starts.
  ::setenv("LC_ALL", "C.UTF-8", 1);
  CliContext context;
  UseQtModule(context, SARN_QT_MODULE_DIR);
  ASSERT_FALSE(QtInProcess()) << "Qt was loaded before a hook was called";

  TempFolder folder;
  const Raster working = MakeRaster(80, 60, 0xFF808080u);
  ReportOverlay overlay;
  overlay.drawn_line = ReportSegment{5, 10, 70, 12};
  const std::string png = folder.PathOf("annotated.png");
  const Result<void> annotated = context.write_annotated(working, overlay, png);
  ASSERT_TRUE(annotated.ok()) << annotated.failure().English();
  EXPECT_TRUE(QtInProcess());
  EXPECT_EQ(Head(png, 8), "\x89PNG\r\n\x1a\n");
  const std::string pdf = folder.PathOf("report.pdf");
  const Result<void> report =
      context.write_report(ReportContent{}, ReportImages{&working, nullptr}, pdf);
  ASSERT_TRUE(report.ok()) << report.failure().English();
  EXPECT_EQ(Head(pdf, 5), "%PDF-");
  // The commands print their numbers in the "C" locale, also after a report.
  EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");

  const auto decoded = context.fallback_decoder(ReadBytes(png), 5000);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded->width, 80);
  EXPECT_EQ(decoded->height, 60);
}

}  // namespace
}  // namespace sarn::test
