#pragma once

// A Form1 started on a conductor table written as SetDT.dat bytes into a
// temporary folder, with dialogs and clipboard that the test scripts and reads.

#include <gtest/gtest.h>

#include <QPointF>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "support/temp_folder.h"
#include "window/fake_clipboard.h"
#include "window/fake_dialogs.h"
#include "support/set_dt_bytes.h"

namespace sarn::test {

class FormFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Starts the form on `table` (written as SetDT.dat and read back).
  void Start(const std::vector<uint8_t>& table);

  // Mouse helpers: positions in the widget's pixels.
  static void Press(QWidget* widget, QPointF at, Qt::MouseButton button);
  static void Move(QWidget* widget, QPointF at, Qt::MouseButtons held);
  static void Release(QWidget* widget, QPointF at, Qt::MouseButton button);
  static void Click(QWidget* widget);
  static void DoubleClick(QWidget* widget);

  TempFolder folder_;
  FakeDialogs dialogs_;
  FakeClipboard clipboard_;
  std::unique_ptr<Form1> form_;
};

}  // namespace sarn::test
