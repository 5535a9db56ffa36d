// Form1: start-up, resize, and the handlers of the inputs of the bottom panel.

#include "app/form1.h"

#include <algorithm>

#include "state/numeric.h"
#include "tension/wind_classes.h"

namespace sarn {

Form1::Form1(tk::Dialogs& dialogs, tk::Clipboard& clipboard, std::string program_folder)
    : dialogs_(dialogs), clipboard_(clipboard), program_folder_(std::move(program_folder)) {
  CreateControls();
  BindHandlers();
}

Form1::~Form1() {
  // The picture boxes (deleted later, with the window's children) show the
  // rasters of photo_ without a copy; they let go of them first.
  Picture1->RemovePicture();
  Picture2->RemovePicture();
}

void Form1::Form_Load(const WireData& wires) {
  module1_.WireLast = wires.WireLast;
  module1_.DesignTemp = wires.DesignTemp;
  module1_.WireTable = wires.WireTable;
  module1_.SpanLength = static_cast<float>(NumericParse(Text2->Text()));
  module1_.AirTemp = static_cast<float>(NumericParse(Text3->Text()));
  for (const WireRecord& record : module1_.WireTable)
    Combo1->AddItem(record.Name);
  // Raises Combo1_Click: WireIndex 0, and the sag computation, the evaluation
  // and the result copy run once before any photo exists.
  Combo1->SetListIndex(0);
  if (auto distance = StrictInteger16(Text4[0]->Text()))
    module1_.ApproxDistance = *distance;
  if (auto height = StrictInteger16(Text4[1]->Text()))
    module1_.ApproxHeight = *height;
  // Each raises Text6_Change, which stores the value back and evaluates.
  Text6[0]->SetText(PlainInteger(module1_.DesignTemp[0]));
  Text6[1]->SetText(PlainInteger(module1_.DesignTemp[1]));
}

void Form1::Form_Resize() {
  Frame1->move(Frame1->x(), InnerHeight() - Frame1->height());
  // n = round(inner width / 6.5 - 50), halves to even, within 0..200.
  const double n = std::clamp(RoundHalfEven(InnerWidth() / 6.5 - 50.0), 0.0, 200.0);
  SetCaption(std::string(kCaptionStart) + std::string(static_cast<size_t>(n), ' ') + kCaptionEnd);
  if (WindowState() == kStateMaximized) {
    if (auto height = RoundToInt32(OuterHeight()))
      MaxHeight = *height;
  }
}

void Form1::Text2_Change() {
  module1_.SpanLength = static_cast<float>(NumericParse(Text2->Text()));
  SarnKeisan();
}

void Form1::Text3_Change() {
  module1_.AirTemp = static_cast<float>(NumericParse(Text3->Text()));
  SarnKeisan();
}

void Form1::Combo1_Click() {
  module1_.WireIndex = static_cast<int16_t>(Combo1->ListIndex());
  SarnKeisan();
}

void Form1::Check1_Click(int index) {
  const int value = Check1[static_cast<size_t>(index)]->Value();
  // Each setting that changes a box raises that box's own click at once.
  for (const auto& [box, box_value] : WindClassReaction(index, value))
    Check1[static_cast<size_t>(box)]->SetValue(box_value);
  EvalTension();
}

void Form1::Check3_Click(int) {
  EvalTension();
}

void Form1::Check6_Click(int) {
  SarnKeisan();
  const int n = Check6[0]->Value() + Check6[1]->Value() + Check6[2]->Value();
  for (QWidget* control : {static_cast<QWidget*>(Label10[0]), static_cast<QWidget*>(Label10[2]),
                           static_cast<QWidget*>(Text4[0])})
    control->setEnabled(n > 0);
  const bool height_on = Check6[1]->Value() == 1;
  for (QWidget* control : {static_cast<QWidget*>(Label10[1]), static_cast<QWidget*>(Label10[3]),
                           static_cast<QWidget*>(Text4[1])})
    control->setEnabled(height_on);
}

// A text that gives no 16-bit value (out of range, or for Text4(1) not a
// number at all, as while the user retypes it) leaves the stored value as it
// was; the computation runs on with it.
void Form1::Text4_Change(int) {
  if (auto distance = RoundToInt16(NumericParse(Text4[0]->Text())))
    module1_.ApproxDistance = *distance;
  if (auto height = StrictInteger16(Text4[1]->Text()))
    module1_.ApproxHeight = *height;
  SarnKeisan();
}

void Form1::Text6_Change(int index) {
  const auto k = static_cast<size_t>(index);
  if (auto temperature = RoundToInt16(NumericParse(Text6[k]->Text())))
    module1_.DesignTemp[k] = *temperature;
  EvalTension();
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
