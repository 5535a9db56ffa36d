// Form1 at start-up: the shared state, the lists and labels, the first result
// text on the clipboard, and the resize handling (docking and caption).

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <string>

#include "state/cp932.h"
#include "state/wire_table.h"
#include "toolkit/bgr_color.h"
#include "window/form_fixture.h"

namespace sarn::test {
namespace {

const std::string kCrLf = "\r\n";

std::string Padded(const std::string& name) {
  return name + std::string(20 - name.size(), ' ');
}

using FormStartup = FormFixture;

TEST_F(FormStartup, DefaultTextsFillTheSharedState) {
  Start(StandardTable());
  const MeasurementState& state = form_->Module1();
  EXPECT_EQ(state.SpanLength, 40.0f);
  EXPECT_EQ(state.AirTemp, 20.0f);
  EXPECT_EQ(state.WireIndex, 0);
  EXPECT_EQ(state.ApproxDistance, 60);
  EXPECT_EQ(state.ApproxHeight, 10);
  EXPECT_EQ(state.DesignTemp[0], 15);
  EXPECT_EQ(state.DesignTemp[1], -5);
  EXPECT_EQ(state.WireLast, 2);
}

TEST_F(FormStartup, ConductorListAndDesignTemperaturesShown) {
  Start(StandardTable());
  ASSERT_EQ(form_->Combo1->ListCount(), 3);
  EXPECT_EQ(form_->Combo1->ListIndex(), 0);
  EXPECT_EQ(form_->Combo1->Text(), Padded("WORKED-A"));
  EXPECT_EQ(form_->Combo1->itemText(2).toStdString(), Padded("HEAVY"));
  EXPECT_EQ(form_->Text6[0]->Text(), "15");
  EXPECT_EQ(form_->Text6[1]->Text(), "-5");
}

TEST_F(FormStartup, NegativeDesignTemperaturesFromTheFile) {
  Start(SetDtBytes(-10, -5, {WorkedConductor("ONLY")}));
  EXPECT_EQ(form_->Combo1->ListCount(), 1);
  EXPECT_EQ(form_->Text6[0]->Text(), "-10");
  EXPECT_EQ(form_->Text6[1]->Text(), "-5");
  EXPECT_EQ(form_->Module1().DesignTemp[0], -10);
}

TEST_F(FormStartup, AllowableTensionsAndRatioBeforeAnyPhoto) {
  Start(StandardTable());
  // Worked example: class A 2234.2 kgf, class B 1620.5 kgf; no estimate yet.
  EXPECT_EQ(form_->Label8[0]->Caption(), "甲=2234kGf");
  EXPECT_EQ(form_->Label8[1]->Caption(), "乙=1620kGf");
  EXPECT_EQ(form_->Label4[2]->Caption(), "0.0");
  EXPECT_EQ(form_->Label4[1]->Caption(), "0");
  EXPECT_EQ(form_->Label4[1]->BackColor(), tk::kBgrYellow);
  // Specified sag at the governing class-B tension: 40^2 * 0.7 / 8 / 1620.5.
  EXPECT_EQ(form_->Label4[6]->Caption(), "0.09");
  // Before the first trace the sag is not a number: empty, nothing ticked.
  EXPECT_EQ(form_->Label4[0]->Caption(), "");
  for (int i = 3; i <= 5; ++i)
    EXPECT_EQ(form_->Label4[static_cast<size_t>(i)]->Caption(), "") << i;
  for (auto* box : form_->Check3)
    EXPECT_EQ(box->Value(), 0);
}

TEST_F(FormStartup, StartUpPutsTheSevenLineResultOnTheClipboard) {
  Start(StandardTable());
  EXPECT_GE(clipboard_.sets, 1);
  EXPECT_EQ(clipboard_.text, Padded("WORKED-A") + kCrLf + "40" + kCrLf + "60" + kCrLf + "0.0" +
                                 kCrLf + kCrLf + kCrLf + kCrLf);
}

TEST_F(FormStartup, ControlsStartInTheirDesignStates) {
  Start(StandardTable());
  EXPECT_FALSE(form_->Picture1->isVisible());
  EXPECT_FALSE(form_->Picture2->isVisible());
  EXPECT_EQ(form_->Check4->Value(), 1);
  EXPECT_EQ(form_->Check5->Value(), 1);
  EXPECT_EQ(form_->Check2->Value(), 0);
  EXPECT_EQ(form_->Check1[0]->Value(), 1);
  EXPECT_EQ(form_->Check1[1]->Value(), 1);
  EXPECT_EQ(form_->Check1[2]->Value(), 0);
  EXPECT_FALSE(form_->Text5->isEnabled());
  EXPECT_EQ(form_->Text5->Text(), "5000");
  EXPECT_FALSE(form_->Text4[0]->isEnabled());
  EXPECT_FALSE(form_->Text4[1]->isEnabled());
  EXPECT_FALSE(form_->Check6[0]->isEnabled());
  EXPECT_TRUE(form_->Check6[1]->isEnabled());
  EXPECT_FALSE(form_->Check6[2]->isEnabled());
  EXPECT_TRUE(form_->Option1[0]->Value());
  EXPECT_EQ(form_->Text1->Text(), "40");
  EXPECT_TRUE(form_->Command2->isHidden());
  EXPECT_EQ(form_->Frame1->width(), 1004);
  EXPECT_EQ(form_->Frame1->height(), 75);
  // Check6 column and Command2 lie beyond the panel's right edge.
  EXPECT_GE(form_->Check6[1]->x(), form_->Frame1->width());
  for (auto* line : form_->Line1)
    EXPECT_FALSE(line->Visible());
  EXPECT_EQ(form_->Line1[1]->Color(), tk::kBgrRed);
  EXPECT_EQ(form_->Line1[0]->Color(), tk::kBgrGreen);
  EXPECT_EQ(form_->Line3[0]->Color(), tk::kBgrGreen);
  EXPECT_EQ(form_->Line4[3]->Color(), tk::kBgrRed);
}

TEST_F(FormStartup, OpensMaximisedAndRecordsItsHeight) {
  Start(StandardTable());
  EXPECT_EQ(form_->WindowState(), tk::Window::kStateMaximized);
  EXPECT_GT(form_->MaxHeight, 0);
  EXPECT_NEAR(form_->MaxHeight, form_->OuterHeight(), 0.5);
  EXPECT_EQ(form_->Frame1->y() + form_->Frame1->height(), form_->InnerHeight());
}

struct CaptionCase {
  int inner_width;
  int spaces;
};

class FormResizeCaption : public FormFixture, public ::testing::WithParamInterface<CaptionCase> {};

TEST_P(FormResizeCaption, PaddingFollowsTheWidthAndThePanelStaysDocked) {
  Start(StandardTable());
  form_->SetWindowState(tk::Window::kStateNormal);
  const int32_t max_height = form_->MaxHeight;
  form_->resize(GetParam().inner_width, 480);
  QApplication::processEvents();
  ASSERT_EQ(form_->InnerWidth(), GetParam().inner_width);
  EXPECT_EQ(form_->Caption(), std::string("Sarn(2012/12/21)") +
                                  std::string(static_cast<size_t>(GetParam().spaces), ' ') +
                                  "by Orvath");
  EXPECT_EQ(form_->Frame1->y(), form_->InnerHeight() - 75);
  EXPECT_EQ(form_->MaxHeight, max_height);  // not maximised: unchanged
}

// n = round(width / 6.5 - 50), within 0..200: 1004 -> 104.46, 1950 -> 250.
INSTANTIATE_TEST_SUITE_P(Widths, FormResizeCaption,
                         ::testing::Values(CaptionCase{1004, 104}, CaptionCase{325, 0},
                                           CaptionCase{300, 0}, CaptionCase{1300, 150},
                                           CaptionCase{1625, 200}, CaptionCase{1950, 200}));

TEST_F(FormStartup, ResizeByCodeRaisesTheHandlerAtOnce) {
  Start(StandardTable());
  form_->SetWindowState(tk::Window::kStateNormal);
  form_->SetOuterHeight(400 * form_->TwipsPerPixelY());
  // Docked before the setter returned, without waiting for events.
  EXPECT_EQ(form_->Frame1->y(), form_->InnerHeight() - 75);
}

// The specified sizes are those of another platform's font: a control that
// cuts its text keeps its size and tells the whole text in a tooltip, and the
// open conductor list is wide enough for whole names.
TEST_F(FormStartup, CutTextsShowWholeInTooltipsAndTheOpenListFitsTheNames) {
  const auto name = EncodeWireName("硬銅より線 22mm2");
  ASSERT_TRUE(name) << name.failure().English();
  ConductorBytes long_name = WorkedConductor("");
  long_name.name.assign(name->begin(), name->end());  // code page 932 bytes
  Start(SetDtBytes(15, -5, {long_name, WorkedConductor("A")}));
  form_->show();
  QApplication::processEvents();
  EXPECT_EQ(form_->Combo1->geometry(), QRect(92, 24, 81, 20));
  ASSERT_TRUE(form_->Combo1->TextCut());
  EXPECT_EQ(form_->Combo1->toolTip().toStdString(), "硬銅より線 22mm2");
  form_->Combo1->SetListIndex(1);
  EXPECT_EQ(form_->Combo1->toolTip().toStdString(), "") << "a name that fits needs none";

  EXPECT_EQ(form_->Text5->geometry(), QRect(956, 56, 33, 18));
  EXPECT_EQ(form_->Text5->toolTip().toStdString(), form_->Text5->TextCut() ? "5000" : "");
  EXPECT_EQ(form_->Text1->toolTip().toStdString(), "") << "two digits fit";
  form_->Text1->SetText("1234567");
  EXPECT_TRUE(form_->Text1->TextCut());
  EXPECT_EQ(form_->Text1->toolTip().toStdString(), "1234567");
  form_->Text1->SetText("40");
  EXPECT_EQ(form_->Text1->toolTip().toStdString(), "");

  form_->Combo1->showPopup();
  QApplication::processEvents();
  const QFontMetrics metrics(form_->Combo1->view()->font());
  EXPECT_GT(form_->Combo1->view()->width(),
            metrics.horizontalAdvance(QString::fromUtf8("硬銅より線 22mm2")));
  form_->Combo1->hidePopup();
}

}  // namespace
}  // namespace sarn::test
