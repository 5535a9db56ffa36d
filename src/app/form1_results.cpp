// Form1's computations after the scan: the sag computation with the
// preselection of the estimates, the tension evaluation and the result copy.

#include <cmath>

#include "app/form1.h"
#include "output/result_text.h"
#include "sag/sag_computation.h"
#include "tension/tension_evaluation.h"
#include "toolkit/vb_color.h"

namespace sarn {

void Form1::SarnKeisan() {
  SagInputs inputs;
  inputs.WireY = WireY;
  inputs.ChordX1 = Line3[1]->X1();
  inputs.ChordX2 = Line3[1]->X2();
  for (size_t i = 0; i < 3; ++i)
    inputs.Check6[i] = Check6[i]->Value();
  const SagOutcome sag = ComputeSag(module1_, inputs);

  Label4[0]->SetCaption(sag.sag_text);
  for (size_t i = 0; i < 3; ++i)
    Label4[3 + i]->SetCaption(sag.estimate_texts[i]);
  TensionEst = sag.TensionEst;
  PresentTension = sag.MeanTension;

  // Preselection, box by box: a box that changes raises Check3_Click, whose
  // evaluation replaces PresentTension by the mean of the boxes then ticked,
  // and the next box is compared against that. An estimate that is not a
  // finite number is never ticked.
  for (size_t i = 0; i < 3; ++i) {
    const bool within = sag.EstimateDefined[i] && std::isfinite(PresentTension) &&
                        WithinOneThirtieth(PresentTension, TensionEst[i]);
    Check3[i]->SetValue(within ? 1 : 0);
  }
  EvalTension();
}

void Form1::EvalTension() {
  TensionInputs inputs;
  for (size_t i = 0; i < 3; ++i) {
    inputs.TensionEst[i] = TensionEst[i];
    inputs.Check3[i] = Check3[i]->Value();
  }
  inputs.ClassA = Check1[0]->Value();
  inputs.ClassC = Check1[2]->Value();
  const TensionOutcome outcome = EvaluateTension(module1_, inputs);

  PresentTension = outcome.PresentTension;
  // A label whose step the run did not reach is cleared, so that no result of
  // an earlier run is shown beside the new ones as if it were current.
  const auto& shown = outcome.shown;
  Label4[2]->SetCaption(shown.present_tension);
  Label8[0]->SetCaption(shown.allow_a.value_or(""));
  Label8[1]->SetCaption(shown.allow_bc.value_or(""));
  Label4[1]->SetCaption(shown.ratio.value_or(""));
  Label4[6]->SetCaption(shown.specified_sag.value_or(""));
  Label4[1]->SetBackColor(shown.ratio && shown.ratio_red ? tk::kVbRed : tk::kVbYellow);
  if (outcome.ok())
    CopyResults();
}

void Form1::CopyResults() {
  ResultTextFields fields;
  fields.conductor_name = Combo1->Text();
  fields.span_text = Text2->Text();
  fields.distance_text = Text4[0]->Text();
  fields.present_tension = Label4[2]->Caption();
  for (size_t i = 0; i < 3; ++i)
    fields.estimates[i] = Label4[3 + i]->Caption();
  clipboard_.Clear();
  clipboard_.SetText(BuildResultText(fields));
}

}  // namespace sarn
