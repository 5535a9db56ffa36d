// The inputs of the bottom panel: wind-load classes, conductor choice, the
// corrections and their rows, Text4/Text6 conversions, the panel width, and
// the result copy on demand.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <array>
#include <string>

#include "toolkit/bgr_color.h"
#include "window/form_fixture.h"

namespace sarn::test {
namespace {

using FormInputs = FormFixture;

std::array<int, 3> Classes(const Form1& form) {
  return {form.Check1[0]->Value(), form.Check1[1]->Value(), form.Check1[2]->Value()};
}

void SetClasses(Form1& form, std::array<int, 3> boxes) {
  // Reach the combination through user clicks from A+B.
  const std::array<int, 3> ab{1, 1, 0}, ac{1, 0, 1}, c{0, 0, 1};
  if (boxes == ac)
    form.Check1[2]->click();
  else if (boxes == c)
    form.Check1[0]->click();
  ASSERT_EQ(Classes(form), boxes);
  (void)ab;
}

struct ClassCase {
  std::array<int, 3> from;
  int clicked;
  std::array<int, 3> to;
};

class FormWindClasses : public FormFixture, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(FormWindClasses, ClickLeadsToTheAllowedCombinationWithMatchingLabels) {
  Start(StandardTable());
  SetClasses(*form_, GetParam().from);
  form_->Check1[static_cast<size_t>(GetParam().clicked)]->click();
  const std::array<int, 3> boxes = Classes(*form_);
  EXPECT_EQ(boxes, GetParam().to);
  // The labels follow the final combination.
  if (boxes[0] == 1)
    EXPECT_EQ(form_->Label8[0]->Caption(), "甲=2234kGf");
  else
    EXPECT_EQ(form_->Label8[0]->Caption(), "");
  if (boxes[2] == 1) {
    // Class C of the worked example: about 1659.5 kgf.
    const std::string bc = form_->Label8[1]->Caption();
    EXPECT_TRUE(bc == "丙=1659kGf" || bc == "丙=1660kGf") << bc;
  } else {
    EXPECT_EQ(form_->Label8[1]->Caption(), "乙=1620kGf");
  }
}

constexpr std::array<int, 3> kAB{1, 1, 0}, kAC{1, 0, 1}, kC{0, 0, 1};
INSTANTIATE_TEST_SUITE_P(Transitions, FormWindClasses,
                         ::testing::Values(ClassCase{kAB, 0, kC}, ClassCase{kAB, 1, kAC},
                                           ClassCase{kAB, 2, kAC}, ClassCase{kAC, 0, kC},
                                           ClassCase{kAC, 1, kAB}, ClassCase{kAC, 2, kAB},
                                           ClassCase{kC, 0, kAC}, ClassCase{kC, 1, kAB},
                                           ClassCase{kC, 2, kAB}));

TEST_F(FormInputs, FailedEvaluationClearsWhatItDidNotComputeAndLeavesTheClipboard) {
  Start(StandardTable());
  const std::string before = clipboard_.text;
  const int sets = clipboard_.sets;
  form_->Combo1->SetListIndex(1);  // Area 0: the evaluation fails
  EXPECT_EQ(form_->Module1().WireIndex, 1);
  EXPECT_EQ(form_->Label4[2]->Caption(), "0.0");  // written before the failure
  EXPECT_EQ(form_->Label8[0]->Caption(), "");
  EXPECT_EQ(form_->Label8[1]->Caption(), "");
  EXPECT_EQ(form_->Label4[1]->Caption(), "");
  EXPECT_EQ(form_->Label4[6]->Caption(), "");
  EXPECT_EQ(form_->Label4[1]->BackColor(), tk::kBgrYellow);
  EXPECT_EQ(clipboard_.sets, sets);
  EXPECT_EQ(clipboard_.text, before);

  form_->Combo1->SetListIndex(0);  // back to a sound record: everything returns
  EXPECT_EQ(form_->Label8[0]->Caption(), "甲=2234kGf");
  EXPECT_EQ(form_->Label4[1]->Caption(), "0");
  EXPECT_EQ(clipboard_.sets, sets + 1);
}

TEST_F(FormInputs, SpanAndConductorRefreshTheResults) {
  Start(StandardTable());
  form_->Text2->SetText("40m");
  EXPECT_EQ(form_->Module1().SpanLength, 40.0f);
  form_->Text2->SetText("");
  EXPECT_EQ(form_->Module1().SpanLength, 0.0f);
  form_->Text2->SetText("4 5");
  EXPECT_EQ(form_->Module1().SpanLength, 45.0f);
  form_->Text3->SetText("-3.5");
  EXPECT_EQ(form_->Module1().AirTemp, -3.5f);
  form_->Text2->SetText("40");
  form_->Text3->SetText("20");
  EXPECT_EQ(form_->Label8[1]->Caption(), "乙=1620kGf");
  form_->Combo1->SetListIndex(2);  // a heavier conductor changes the allowable tensions
  EXPECT_EQ(form_->Module1().WireIndex, 2);
  EXPECT_NE(form_->Label8[1]->Caption(), "乙=1620kGf");
  EXPECT_EQ(clipboard_.text.substr(0, 20), "HEAVY               ");
}

TEST_F(FormInputs, Label7ClicksCopyTheSameText) {
  Start(StandardTable());
  const std::string automatic = clipboard_.text;
  clipboard_.text.clear();
  const int sets = clipboard_.sets;
  Click(form_->Label7[0]);
  EXPECT_EQ(clipboard_.sets, sets + 1);
  EXPECT_EQ(clipboard_.text, automatic);
  clipboard_.text.clear();
  Click(form_->Label7[1]);
  EXPECT_EQ(clipboard_.sets, sets + 2);
  EXPECT_EQ(clipboard_.text, automatic);
  // Other labels copy nothing.
  Click(form_->Label6[0]);
  EXPECT_EQ(clipboard_.sets, sets + 2);
}

TEST_F(FormInputs, Frame1DoubleClickTogglesTheWidthAndDragOverWidens) {
  Start(StandardTable());
  DoubleClick(form_->Frame1);
  EXPECT_EQ(form_->Frame1->width(), 1140);
  DoubleClick(form_->Frame1);
  EXPECT_EQ(form_->Frame1->width(), 1004);
  DoubleClick(form_->Frame1);
  EXPECT_EQ(form_->Frame1->width(), 1140);
  // The Check6 column (1028..1133) now lies inside the panel; Command2 stays hidden.
  for (auto* box : form_->Check6)
    EXPECT_LE(box->geometry().right(), form_->Frame1->width());
  EXPECT_TRUE(form_->Command2->isHidden());

  DoubleClick(form_->Frame1);
  ASSERT_EQ(form_->Frame1->width(), 1004);
  QMimeData mime;
  mime.setText("anything");
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form_->Frame1, &enter);
  EXPECT_EQ(form_->Frame1->width(), 1140);
  QApplication::sendEvent(form_->Frame1, &enter);
  EXPECT_EQ(form_->Frame1->width(), 1140);
  // A double-click on a label of the panel is the label's, not the panel's.
  DoubleClick(form_->Label9);
  EXPECT_EQ(form_->Frame1->width(), 1140);
}

TEST_F(FormInputs, HeightCorrectionEnablesAndDisablesBothRows) {
  Start(StandardTable());
  form_->Check6[1]->click();
  EXPECT_EQ(form_->Check6[1]->Value(), 1);
  for (QWidget* w :
       {static_cast<QWidget*>(form_->Label10[0]), static_cast<QWidget*>(form_->Label10[1]),
        static_cast<QWidget*>(form_->Label10[2]), static_cast<QWidget*>(form_->Label10[3]),
        static_cast<QWidget*>(form_->Text4[0]), static_cast<QWidget*>(form_->Text4[1])})
    EXPECT_TRUE(w->isEnabled());
  form_->Check6[1]->click();
  for (QWidget* w :
       {static_cast<QWidget*>(form_->Label10[0]), static_cast<QWidget*>(form_->Label10[1]),
        static_cast<QWidget*>(form_->Label10[2]), static_cast<QWidget*>(form_->Label10[3]),
        static_cast<QWidget*>(form_->Text4[0]), static_cast<QWidget*>(form_->Text4[1])})
    EXPECT_FALSE(w->isEnabled());
  EXPECT_FALSE(form_->Check6[0]->isEnabled());
  EXPECT_FALSE(form_->Check6[2]->isEnabled());
}

struct Text4Case {
  int index;
  const char* text;
  int16_t distance;
  int16_t height;
};

class FormText4 : public FormFixture, public ::testing::WithParamInterface<Text4Case> {};

TEST_P(FormText4, ConvertsOrKeepsTheStoredValue) {
  Start(StandardTable());
  form_->Text4[static_cast<size_t>(GetParam().index)]->SetText(GetParam().text);
  EXPECT_EQ(form_->Module1().ApproxDistance, GetParam().distance);
  EXPECT_EQ(form_->Module1().ApproxHeight, GetParam().height);
}

// Defaults 60 and 10. Text4(0) reads any leading number (halves to even);
// Text4(1) only a whole number text; a value outside -32768..32767, or a
// Text4(1) that is no number, keeps the stored value.
INSTANTIATE_TEST_SUITE_P(
    Texts, FormText4,
    ::testing::Values(Text4Case{0, "12.5", 12, 10}, Text4Case{0, "13.5", 14, 10},
                      Text4Case{0, "abc", 0, 10}, Text4Case{0, "40000", 60, 10},
                      Text4Case{0, "-32768", -32768, 10}, Text4Case{1, "7.5", 60, 8},
                      Text4Case{1, "", 60, 10}, Text4Case{1, "7m", 60, 10},
                      Text4Case{1, "99999", 60, 10}, Text4Case{1, "-3", 60, -3}));

TEST_F(FormInputs, Text6StoresTheDesignTemperatureAndReEvaluates) {
  Start(StandardTable());
  const int sets = clipboard_.sets;
  form_->Text6[1]->SetText("-6");
  EXPECT_EQ(form_->Module1().DesignTemp[1], -6);
  EXPECT_EQ(clipboard_.sets, sets + 1);
  EXPECT_NE(form_->Label8[1]->Caption(), "乙=1620kGf");
  form_->Text6[1]->SetText("-5");
  EXPECT_EQ(form_->Label8[1]->Caption(), "乙=1620kGf");
  form_->Text6[0]->SetText("2.5");
  EXPECT_EQ(form_->Module1().DesignTemp[0], 2);
  form_->Text6[0]->SetText("70000");  // out of range: kept
  EXPECT_EQ(form_->Module1().DesignTemp[0], 2);
  form_->Text6[0]->SetText("");
  EXPECT_EQ(form_->Module1().DesignTemp[0], 0);
}

TEST_F(FormInputs, ClearingEveryEstimateBoxGivesZeroPresentTension) {
  Start(StandardTable());
  form_->Check3[0]->click();
  form_->Check3[0]->click();
  EXPECT_EQ(form_->Session().PresentTension(), 0.0f);
  EXPECT_EQ(form_->Label4[2]->Caption(), "0.0");
  EXPECT_EQ(form_->Label4[1]->Caption(), "0");
}

}  // namespace
}  // namespace sarn::test
