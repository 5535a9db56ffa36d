// The notification rule of the toolkit: a change made by code raises the same
// handler as the user's change, synchronously, and only when the value changes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QWidget>
#include <string>
#include <vector>

#include "toolkit/bgr_color.h"
#include "toolkit/check_box.h"
#include "toolkit/combo_box.h"
#include "toolkit/control_fonts.h"
#include "toolkit/file_filter.h"
#include "toolkit/label.h"
#include "toolkit/option_button.h"
#include "toolkit/picture_box.h"
#include "toolkit/text_box.h"
#include "toolkit/window.h"

namespace sarn::tk {
namespace {

TEST(CheckBoxNotification, CodeChangesRaiseClickOnlyWhenTheValueChanges) {
  QWidget parent;
  CheckBox box("x", &parent);
  int clicks = 0;
  box.on_click = [&] { ++clicks; };
  box.SetValue(0);
  EXPECT_EQ(clicks, 0);
  box.SetValue(1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(box.Value(), 1);
  box.SetValue(1);
  EXPECT_EQ(clicks, 1);
  box.click();  // the user
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(box.Value(), 0);
}

TEST(CheckBoxNotification, HandlersNestBeforeTheAssignmentReturns) {
  QWidget parent;
  CheckBox first("a", &parent), second("b", &parent);
  std::vector<std::string> order;
  first.on_click = [&] {
    order.push_back("first in");
    second.SetValue(1);
    order.push_back("first out");
  };
  second.on_click = [&] { order.push_back("second"); };
  first.SetValue(1);
  order.push_back("returned");
  EXPECT_EQ(order, (std::vector<std::string>{"first in", "second", "first out", "returned"}));
}

TEST(TextBoxNotification, ChangeRaisedForCodeAndTypingOnlyWhenTheTextChanges) {
  QWidget parent;
  TextBox box("40", &parent);
  int changes = 0;
  std::string seen;
  box.on_change = [&] {
    ++changes;
    seen = box.Text();
  };
  box.SetText("40");
  EXPECT_EQ(changes, 0);
  box.SetText("41");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(seen, "41");
  box.end(false);
  box.insert("5");  // typing
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(seen, "415");
  box.SetText("");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(box.Text(), "");
}

TEST(ComboBoxNotification, AddingItemsSelectsNothingAndIndexChangesRaiseClick) {
  QWidget parent;
  ComboBox combo(&parent);
  int clicks = 0;
  combo.on_click = [&] { ++clicks; };
  combo.AddItem("A                   ");
  combo.AddItem("B");
  EXPECT_EQ(combo.ListIndex(), -1);
  EXPECT_EQ(combo.Text(), "");
  EXPECT_EQ(clicks, 0);
  combo.SetListIndex(0);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(combo.Text(), "A                   ");  // padding kept
  combo.SetListIndex(0);
  EXPECT_EQ(clicks, 1);
  combo.SetListIndex(1);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(combo.ListIndex(), 1);
}

TEST(OptionButtonNotification, SelectingOneRaisesItsClickAndDeselectsTheOther) {
  QWidget parent;
  OptionButton change("変化値", &parent), dark("黒さ", &parent);
  change.SetValue(true);
  int change_clicks = 0, dark_clicks = 0;
  change.on_click = [&] { ++change_clicks; };
  dark.on_click = [&] { ++dark_clicks; };
  change.SetValue(true);
  EXPECT_EQ(change_clicks, 0);
  dark.SetValue(true);
  EXPECT_EQ(dark_clicks, 1);
  EXPECT_FALSE(change.Value());
  EXPECT_EQ(change_clicks, 0);
  change.click();
  EXPECT_EQ(change_clicks, 1);
  EXPECT_FALSE(dark.Value());
}

TEST(LabelCaption, SizesItselfToTheCaption) {
  QWidget parent;
  Label label("m", &parent);
  const int narrow = label.width();
  label.SetCaption("甲=2234kGf");
  EXPECT_GT(label.width(), narrow);
  EXPECT_EQ(label.Caption(), "甲=2234kGf");
  label.SetBackColor(kBgrYellow);
  ASSERT_TRUE(label.BackColor().has_value());
  EXPECT_EQ(label.palette().color(QPalette::Window), QColor(255, 255, 0));
}

TEST(ControlFonts, TheDesignFamilyResolvesToAnInstalledJapaneseFont) {
  const QFontInfo info(ControlFont(8.25));
  EXPECT_EQ(info.family(), QString::fromUtf8(kInstalledFontFamily));
  EXPECT_NEAR(info.pointSizeF(), 8.25, 0.3);
  const QFontMetrics metrics(ControlFont(9));
  for (const char* caption : {"画像ファイル読み込み", "径間許容張力", "℃", "甲=", "丙種"})
    EXPECT_TRUE(metrics.inFont(QString::fromUtf8(caption).at(0))) << caption;
}

TEST(WindowNotification, CodeChangesOfSizeAndStateRaiseResizeOnceEach) {
  Window window;
  int resizes = 0;
  window.on_resize = [&] { ++resizes; };
  window.resize(400, 300);
  window.show();
  QApplication::processEvents();
  const int after_show = resizes;
  EXPECT_GE(after_show, 1);
  const double tpp_x = window.TwipsPerPixelX(), tpp_y = window.TwipsPerPixelY();
  EXPECT_NEAR(tpp_x, 1440.0 / window.logicalDpiX(), 1e-9);
  EXPECT_NEAR(window.OuterWidth(), window.frameGeometry().width() * tpp_x, 1e-6);

  window.SetOuterHeight(250 * tpp_y);  // raised before the setter returns
  EXPECT_EQ(resizes, after_show + 1);
  EXPECT_EQ(window.frameGeometry().height(), 250);
  window.SetOuterHeight(250 * tpp_y);  // no change: nothing raised
  EXPECT_EQ(resizes, after_show + 1);
  window.SetOuterWidth(6000);
  EXPECT_NEAR(window.OuterWidth(), 6000, tpp_x / 2);
  EXPECT_EQ(resizes, after_show + 2);
  window.SetOuterLeft(0);
  window.SetOuterTop(0);
  EXPECT_EQ(resizes, after_show + 2);  // a move is no resize
  EXPECT_NEAR(window.OuterLeft(), 0, 1e-9);

  window.SetWindowState(Window::kStateMaximized);
  EXPECT_EQ(window.WindowState(), Window::kStateMaximized);
  const int after_maximise = resizes;
  EXPECT_GT(after_maximise, after_show + 2);
  window.SetWindowState(Window::kStateNormal);
  EXPECT_EQ(window.WindowState(), Window::kStateNormal);
  EXPECT_GT(resizes, after_maximise);
}

TEST(BgrColour, RedIsTheLowByte) {
  EXPECT_EQ(ColorOfBgr(0x0000FF), QColor(255, 0, 0));
  EXPECT_EQ(ColorOfBgr(0x00FF00), QColor(0, 255, 0));
  EXPECT_EQ(BgrOfColor(QColor(1, 2, 3)), 0x030201);
}

TEST(PictureBoxButtons, ButtonCodesAreOneTwoFourAndSumDuringAMove) {
  EXPECT_EQ(PictureBox::ButtonCode(Qt::LeftButton), 1);
  EXPECT_EQ(PictureBox::ButtonCode(Qt::RightButton), 2);
  EXPECT_EQ(PictureBox::ButtonCode(Qt::MiddleButton), 4);
  EXPECT_EQ(PictureBox::ButtonCode(Qt::LeftButton | Qt::RightButton), 3);
  EXPECT_EQ(PictureBox::ButtonCode(Qt::RightButton | Qt::MiddleButton), 6);
  EXPECT_EQ(PictureBox::ButtonCode(Qt::NoButton), 0);
}

TEST(PhotoFilter, OneEntryWithItsPatternInTheLabel) {
  EXPECT_EQ(QtNameFilters("写真画像ファイル (*.JPG)|*.JPG"),
            QStringList{QString::fromUtf8("写真画像ファイル (*.JPG)")});
  EXPECT_EQ(QtNameFilters("Pictures|*.png;*.bmp"), QStringList{"Pictures (*.png *.bmp)"});
  EXPECT_TRUE(QtNameFilters("").isEmpty());
}

}  // namespace
}  // namespace sarn::tk
