// Form1: start-up, resize, and the handlers of the inputs of the bottom panel.

#include "app/form1.h"

#include <algorithm>

#include "state/numeric.h"

namespace sarn {

Form1::Form1(tk::Dialogs& dialogs, tk::Clipboard& clipboard, std::string program_folder)
    : dialogs_(dialogs), clipboard_(clipboard), session_(std::move(program_folder)) {
  CreateControls();
  BindHandlers();
  CreateContextMenu();
  CreateRecentMenu();
  CreateMeasurementActions();
  session_.SetEvents(this);
}

Form1::~Form1() {
  session_.SetEvents(nullptr);
  // The picture boxes (deleted later, with the window's children) show the
  // session's rasters without a copy; they let go of them first.
  Picture1->RemovePicture();
  Picture2->RemovePicture();
}

void Form1::Form_Load(const WireData& wires) {
  session_.SetWireData(wires, Text2->Text(), Text3->Text());
  for (const WireRecord& record : wires.WireTable)
    Combo1->AddItem(record.Name);
  // Raises Combo1_Click: WireIndex 0, and the sag computation, the evaluation
  // and the result copy run once before any photo exists.
  Combo1->SetListIndex(0);
  session_.SetStartDistances(Text4[0]->Text(), Text4[1]->Text());
  // Each raises Text6_Change, which stores the value back and evaluates.
  Text6[0]->SetText(PlainInteger(session_.State().DesignTemp[0]));
  Text6[1]->SetText(PlainInteger(session_.State().DesignTemp[1]));
}

void Form1::Form_Resize() {
  Frame1->move(Frame1->x(), InnerHeight() - Frame1->height());
  // The caption's padding: round(inner width / 6.5 - 50) spaces, halves to even,
  // within 0..200.
  const double padding = std::clamp(RoundHalfEven(InnerWidth() / 6.5 - 50.0), 0.0, 200.0);
  SetCaption(std::string(kCaptionStart) + std::string(static_cast<size_t>(padding), ' ') +
             kCaptionEnd);
  if (WindowState() == kStateMaximized) {
    if (auto height = RoundToInt32(OuterHeight()))
      MaxHeight = *height;
  }
}

void Form1::Text2_Change() {
  session_.SetSpanText(Text2->Text());
}

void Form1::Text3_Change() {
  session_.SetAirTempText(Text3->Text());
}

void Form1::Combo1_Click() {
  session_.SetWireIndex(static_cast<int16_t>(Combo1->ListIndex()));
}

void Form1::Check1_Click(int index) {
  session_.SetWindClass(index, Check1[static_cast<size_t>(index)]->Value());
}

void Form1::WindClassChanged(int index, int value) {
  Check1[static_cast<size_t>(index)]->SetValue(value);
}

void Form1::Check3_Click(int index) {
  session_.SetTick(index, Check3[static_cast<size_t>(index)]->Value());
}

void Form1::TickChanged(int index, int value) {
  Check3[static_cast<size_t>(index)]->SetValue(value);
}

void Form1::Check6_Click(int index) {
  session_.SetCorrection(index, Check6[static_cast<size_t>(index)]->Value());
  EnableCorrectionInputs();
}

void Form1::EnableCorrectionInputs() {
  const int corrections = Check6[0]->Value() + Check6[1]->Value() + Check6[2]->Value();
  for (QWidget* control : {static_cast<QWidget*>(Label10[0]), static_cast<QWidget*>(Label10[2]),
                           static_cast<QWidget*>(Text4[0])})
    control->setEnabled(corrections > 0);
  const bool height_on = Check6[1]->Value() == 1;
  for (QWidget* control : {static_cast<QWidget*>(Label10[1]), static_cast<QWidget*>(Label10[3]),
                           static_cast<QWidget*>(Text4[1])})
    control->setEnabled(height_on);
}

void Form1::Text4_Change(int) {
  session_.SetDistanceTexts(Text4[0]->Text(), Text4[1]->Text());
}

void Form1::Text6_Change(int index) {
  session_.SetDesignTempText(index, Text6[static_cast<size_t>(index)]->Text());
}

void Form1::Label7_Click(int) {
  CopyResults();
}

void Form1::Frame1_DblClick() {
  Frame1->resize(Frame1->width() == kPanelWide ? kPanelNarrow : kPanelWide, Frame1->height());
}

void Form1::Frame1_DragOver() {
  Frame1->resize(kPanelWide, Frame1->height());
}

}  // namespace sarn
