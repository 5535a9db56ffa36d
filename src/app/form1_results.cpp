// Form1's results: the labels of the sag, the estimates and the evaluation
// as the session reports them, and the result text on the clipboard.

#include "app/form1.h"
#include "toolkit/bgr_color.h"

namespace sarn {

void Form1::SagComputed() {
  const ShownResults& shown = session_.Shown();
  Label4[0]->SetCaption(LabelCaption(shown.present_sag));
  for (size_t i = 0; i < 3; ++i)
    Label4[3 + i]->SetCaption(LabelCaption(shown.estimates[i]));
  AdviseLensCorrection();
}

void Form1::Evaluated() {
  const ShownResults& shown = session_.Shown();
  Label4[2]->SetCaption(LabelCaption(shown.present_tension));
  Label8[0]->SetCaption(LabelCaption(shown.allow_a));
  Label8[1]->SetCaption(LabelCaption(shown.allow_bc));
  Label4[1]->SetCaption(LabelCaption(shown.ratio));
  Label4[6]->SetCaption(LabelCaption(shown.specified_sag));
  ColourResultLabels();
  UpdateChart();
}

void Form1::ColourResultLabels() {
  const bool stale = session_.ResultsStale();
  for (size_t i = 0; i < Label4.size(); ++i)
    Label4[i]->SetBackColor(stale ? tk::kBgrLightGrey : tk::kBgrYellow);
  if (!stale)
    Label4[1]->SetBackColor(session_.Shown().ratio_red ? tk::kBgrRed : tk::kBgrYellow);
}

void Form1::ResultCopied(const std::string& text) {
  clipboard_.Clear();
  clipboard_.SetText(text);
}

}  // namespace sarn
