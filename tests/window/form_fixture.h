#pragma once

// A Form1 started on a conductor table written as SetDT.dat bytes into a
// temporary folder, with dialogs and clipboard that the test scripts and reads.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPoint>
#include <QPointF>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "support/temp_folder.h"
#include "toolkit/clipboard.h"
#include "toolkit/dialogs.h"

namespace sarn::test {

class FakeDialogs : public tk::Dialogs {
 public:
  void MessageOk(const std::string& text) override {
    messages.push_back(text);
    busy_at_prompt.push_back(QGuiApplication::overrideCursor() != nullptr);
  }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    busy_at_prompt.push_back(QGuiApplication::overrideCursor() != nullptr);
    if (answers.empty())
      return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> OpenPhoto(const std::string& initial_name) override {
    initial_names.push_back(initial_name);
    return open_result;
  }
  void EndProgram() override { ++end_program_calls; }

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;  // Yes/No answers to give, in order
  std::vector<std::string> initial_names;
  std::optional<std::string> open_result;  // nullopt: the user cancels
  int end_program_calls = 0;
  std::vector<bool> busy_at_prompt;  // the busy pointer was on when a box was shown
};

class FakeClipboard : public tk::Clipboard {
 public:
  void Clear() override {
    text.clear();
    ++clears;
  }
  void SetText(const std::string& now) override {
    text = now;
    ++sets;
  }
  std::string text;
  int clears = 0;
  int sets = 0;
};

// One conductor record as written into SetDT.dat.
struct ConductorBytes {
  std::string name;  // ASCII, padded with spaces to 20 bytes
  float weight, break_load, safety_factor, elasticity, expansion, diameter, wind_factor, area;
};

// The worked-example conductor: Weight 0.7, BreakLoad 60, SafetyFactor 2.5,
// Elasticity 90, Expansion 19, Diameter 18, WindFactor 1, Area 180. With span
// 40 m, air 20 degC and design temperatures 15 / -5 its class-A allowable
// tension is 2234 kgf and its class-B one 1620 kgf.
ConductorBytes WorkedConductor(const std::string& name);

// The little-endian file image: WireLast, DesignTemp(0..1), the records.
std::vector<uint8_t> SetDtBytes(int16_t design_a, int16_t design_low,
                                const std::vector<ConductorBytes>& records);

// The test table: "WORKED-A" (the worked example), "NO-AREA" (Area 0, so every
// evaluation fails), "HEAVY" (the worked example with Weight 1.4); design
// temperatures 15 and -5.
std::vector<uint8_t> StandardTable();

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
