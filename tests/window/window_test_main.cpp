// The window tests run Qt widgets offscreen: one QApplication for the whole
// test program, created before the first test.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "toolkit/control_fonts.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  sarn::tk::InstallControlFonts();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
