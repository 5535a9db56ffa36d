// Form1's controls: kind, container, caption or default text, place and size
// (window pixels from the container's top-left), font and start-up state.

#include <optional>

#include "app/form1.h"
#include "photo/load_plan.h"
#include "toolkit/bgr_color.h"
#include "toolkit/control_fonts.h"

namespace sarn {

namespace {

// Design inner area of the window, pixels.
constexpr int kDesignWidth = 1004;
constexpr int kDesignHeight = 596;

tk::Label* MakeLabel(QWidget* parent, const std::string& caption, int left, int top,
                     std::optional<double> font_points = std::nullopt) {
  auto* label = new tk::Label(caption, parent);
  if (font_points)
    label->SetFontAndResize(tk::ControlFont(*font_points));
  label->move(left, top);
  return label;
}

template <typename Control>
Control* Place(Control* control, int left, int top, int width, int height) {
  control->setGeometry(left, top, width, height);
  return control;
}

}  // namespace

void Form1::CreateControls() {
  resize(kDesignWidth, kDesignHeight);

  Picture1 = new tk::PictureBox(kOverviewUnitXPixels, kOverviewUnitYPixels, this);
  Picture1->setFont(tk::ControlFont(11.25));
  Picture1->SetSize(1004, 520);
  Picture1->hide();

  Picture2 = new tk::PictureBox(1.0, 1.0, this);
  Picture2->SetSize(835, 541);
  Picture2->hide();

  Frame1 = new tk::Panel(this);
  Frame1->setGeometry(0, 520, kPanelNarrow, 75);
  CreatePanelControls();
  CreateLines();
}

void Form1::CreatePanelControls() {
  QWidget* frame = Frame1;
  Command1 = Place(new tk::Button("画像ファイル読み込み", frame), 4, 12, 77, 35);
  Check4 = Place(new tk::CheckBox("上下を削除", frame), 4, 52, 81, 17);
  Check4->SetValue(1);
  Check2 = Place(new tk::CheckBox("元画像表示", frame), 84, 52, 81, 15);

  Label3[1] = MakeLabel(frame, "電線サイズ", 92, 10);
  Combo1 = Place(new tk::ComboBox(frame), 92, 24, 81, 20);

  Label10[0] = MakeLabel(frame, "概算距離", 188, 56);
  Label10[1] = MakeLabel(frame, "概算高さ", 192, 36);
  Label3[0] = MakeLabel(frame, "径間長", 200, 16);
  Text2 = Place(new tk::TextBox("40", frame), 240, 12, 31, 19);
  Text4[1] = Place(new tk::TextBox("10", frame), 240, 32, 31, 19);
  Text4[0] = Place(new tk::TextBox("60", frame), 240, 52, 31, 19);
  Label5[0] = MakeLabel(frame, "m", 272, 20);
  Label10[3] = MakeLabel(frame, "m", 272, 40);
  Label10[2] = MakeLabel(frame, "m", 272, 60);
  for (tk::Label* label : Label10)
    label->setEnabled(false);
  Text4[0]->setEnabled(false);
  Text4[1]->setEnabled(false);

  Label3[2] = MakeLabel(frame, "撮影時気温", 288, 16);
  Label3[10] = MakeLabel(frame, "甲種温度", 300, 36);
  Label3[12] = MakeLabel(frame, "低温期温度", 292, 56);
  Text3 = Place(new tk::TextBox("20", frame), 352, 12, 29, 18);
  Text6[0] = Place(new tk::TextBox("20", frame), 352, 32, 29, 18);
  Text6[1] = Place(new tk::TextBox("20", frame), 352, 52, 29, 18);
  Label3[3] = MakeLabel(frame, "℃", 384, 16);
  Label3[9] = MakeLabel(frame, "℃", 384, 40);
  Label3[11] = MakeLabel(frame, "℃", 384, 60);

  Label7[0] = MakeLabel(frame, "現在張力", 400, 12);
  Label6[0] = MakeLabel(frame, "現在弛度", 400, 32);
  Label6[1] = MakeLabel(frame, "規定弛度", 400, 52);
  Label4[2] = MakeLabel(frame, "", 480, 12);
  Label4[0] = MakeLabel(frame, "", 480, 32);
  Label4[6] = MakeLabel(frame, "", 480, 52);
  Label3[5] = MakeLabel(frame, "kgf", 492, 16);
  Label5[2] = MakeLabel(frame, "m", 492, 36);
  Label5[4] = MakeLabel(frame, "m", 492, 56);

  Label7[1] = MakeLabel(frame, "計算径間", 520, 8);
  Check3[0] = Place(new tk::CheckBox("4/4", frame), 516, 24, 41, 17);
  Check3[1] = Place(new tk::CheckBox("3/4", frame), 516, 36, 41, 21);
  Check3[2] = Place(new tk::CheckBox("2/4", frame), 516, 52, 41, 17);
  Label4[3] = MakeLabel(frame, "", 592, 24, 8.25);
  Label4[4] = MakeLabel(frame, "", 592, 40, 8.25);
  Label4[5] = MakeLabel(frame, "", 592, 56, 8.25);
  Label3[6] = MakeLabel(frame, "kgf", 598, 26, 8.25);
  Label3[7] = MakeLabel(frame, "kgf", 598, 42, 8.25);
  Label3[8] = MakeLabel(frame, "kgf", 599, 58, 8.25);

  Frame2 = Place(new tk::GroupFrame("対象風圧荷重", frame), 612, 12, 115, 59);
  Check1[0] = Place(new tk::CheckBox("甲種", Frame2), 8, 22, 49, 13);
  Check1[1] = Place(new tk::CheckBox("乙種", Frame2), 8, 40, 49, 13);
  Check1[2] = Place(new tk::CheckBox("丙種", Frame2), 56, 20, 47, 13);
  Check1[0]->SetValue(1);
  Check1[1]->SetValue(1);

  Label9 = MakeLabel(frame, "径間許容張力", 736, 12);
  Label8[0] = MakeLabel(frame, "甲=", 736, 32);
  Label8[1] = MakeLabel(frame, "乙=", 736, 48);
  Label0 = MakeLabel(frame, "許容張力比", 820, 12);
  Label4[1] = MakeLabel(frame, "", 848, 40, 14.25);
  Label5[3] = MakeLabel(frame, "%", 864, 44, 12);

  Label2[0] = MakeLabel(frame, "明るさ閾値", 900, 12);
  Option1[0] = Place(new tk::OptionButton("変化値", frame), 900, 28, 57, 13);
  Option1[1] = Place(new tk::OptionButton("黒さ", frame), 960, 28, 41, 13);
  Option1[0]->SetValue(true);
  Text1 = Place(new tk::TextBox("40", frame), 964, 8, 25, 19);
  Text1->setFont(tk::ControlFont(9.75));
  Check5 = Place(new tk::CheckBox("自動調節", frame), 916, 44, 81, 13);
  Check5->setFont(tk::ControlFont(8.25));
  Check5->SetValue(1);
  Label2[1] = MakeLabel(frame, "横最大", 920, 60, 8.25);
  Text5 = Place(new tk::TextBox("5000", frame), 956, 56, 33, 18);
  Text5->setEnabled(false);

  Check6[0] = Place(new tk::CheckBox("幅補正を行う", frame), 1028, 12, 89, 17);
  Check6[1] = Place(new tk::CheckBox("高さ補正を行う", frame), 1028, 32, 105, 17);
  Check6[2] = Place(new tk::CheckBox("径間補正を行う", frame), 1028, 52, 101, 17);
  Check6[0]->setEnabled(false);
  Check6[2]->setEnabled(false);

  Command2 = Place(new tk::Button("Cop", frame), 1120, 12, 29, 17);
  Command2->hide();

  for (int i : {0, 1, 2, 3, 4, 5, 6})
    Label4[static_cast<size_t>(i)]->SetBackColor(tk::kBgrYellow);
  // Labels are drawn above the boxes beside them, which they overlap.
  for (tk::Label* label : Label4)
    label->raise();
}

void Form1::CreateLines() {
  for (size_t i = 0; i < Line1.size(); ++i)
    Line1[i] = &Picture1->AddLine(i == 1 ? tk::kBgrRed : tk::kBgrGreen);
  for (auto& line : Line2)
    line = &Picture1->AddLine(tk::kBgrRed);
  Line3[0] = &Picture2->AddLine(tk::kBgrGreen);
  Line3[1] = &Picture2->AddLine(tk::kBgrRed);
  for (auto& line : Line4)
    line = &Picture2->AddLine(tk::kBgrRed);
}

void Form1::BindHandlers() {
  on_resize = [this] { Form_Resize(); };
  Text2->on_change = [this] { Text2_Change(); };
  Text3->on_change = [this] { Text3_Change(); };
  Combo1->on_click = [this] { Combo1_Click(); };
  Command1->on_click = [this] { Command1_Click(); };
  Command2->on_click = [this] { CopyResults(); };
  for (int i = 0; i < 3; ++i) {
    const auto at = static_cast<size_t>(i);
    Check1[at]->on_click = [this, i] { Check1_Click(i); };
    Check3[at]->on_click = [this, i] { Check3_Click(i); };
    Check6[at]->on_click = [this, i] { Check6_Click(i); };
  }
  Check2->on_click = [this] { Check2_Click(); };
  Check4->on_click = [this] { Check4_Click(); };
  Check5->on_click = [this] { Check5_Click(); };
  Text1->on_change = [this] { Text1_Change(); };
  for (int i = 0; i < 2; ++i) {
    const auto at = static_cast<size_t>(i);
    Text4[at]->on_change = [this, i] { Text4_Change(i); };
    Text6[at]->on_change = [this, i] { Text6_Change(i); };
    Option1[at]->on_click = [this, i] { Option1_Click(i); };
    Label7[at]->on_click = [this, i] { Label7_Click(i); };
  }
  Frame1->on_dbl_click = [this] { Frame1_DblClick(); };
  Frame1->on_drag_over = [this] { Frame1_DragOver(); };
  Picture1->on_mouse_down = [this](int b, int s, float x, float y) {
    Picture1_MouseDown(b, s, x, y);
  };
  Picture1->on_mouse_move = [this](int b, int s, float x, float y) {
    Picture1_MouseMove(b, s, x, y);
  };
  Picture1->on_mouse_up = [this](int b, int s, float x, float y) { Picture1_MouseUp(b, s, x, y); };
  Picture2->on_mouse_down = [this](int b, int s, float x, float y) {
    Picture2_MouseDown(b, s, x, y);
  };
  Picture2->on_mouse_move = [this](int b, int s, float x, float y) {
    Picture2_MouseMove(b, s, x, y);
  };
  Picture2->on_mouse_up = [this](int b, int s, float x, float y) { Picture2_MouseUp(b, s, x, y); };
}

}  // namespace sarn
