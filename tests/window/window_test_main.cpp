// The window tests run Qt widgets offscreen: one QApplication for the whole
// test program, created before the first test, in Japanese as the program
// makes it. What the window remembers (QSettings in $XDG_CONFIG_HOME) goes to
// a temporary folder, never to the user's own configuration.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/temp_folder.h"
#include "toolkit/control_fonts.h"
#include "toolkit/japanese_ui.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const sarn::test::TempFolder config;
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  int result = 0;
  {
    QApplication application(argc, argv);
    sarn::tk::InstallControlFonts();
    sarn::tk::InstallJapaneseInterface();
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  return result;
}
