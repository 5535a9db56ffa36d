#include "tension/tension_evaluation.h"

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "output/number_format.h"
#include "tension/state_equation.h"

namespace sarn {
namespace {

constexpr double kRedAbovePercent = 100;  // the ratio turns red above this

// What ends the run before the first use of the conductor's data when a
// value is impossible (not finite; zero or negative where only a positive
// value means anything): such a record would give negative ratios, or a
// misleading failure further on ("BreakLoad is 0" for an infinite Area). The
// message names the conductor and the field.
std::optional<Failure> UnusableRecord(const MeasurementState& state) {
  const WireRecord* record = state.SelectedWire();
  if (record == nullptr)
    return std::nullopt;  // the allowable-tension functions report the index
  if (std::optional<Failure> problem = WireRecordProblem(*record))
    return Failure(MessageId::kConductorProblem, {TrimmedWireName(record->Name), *problem});
  return std::nullopt;
}

}  // namespace

float PresentTensionOf(const std::array<float, 3>& estimates, const std::array<int, 3>& ticks) {
  float sum = 0;
  int n = 0;
  for (size_t i = 0; i < estimates.size(); ++i) {
    if (ticks[i] == 1) {
      ++n;
      sum += estimates[i];
    }
  }
  if (n < 1)
    return 0;
  return static_cast<float>(double{sum} / n);
}

TensionOutcome EvaluateTension(const MeasurementState& state, const TensionInputs& inputs) {
  using enum MessageId;
  TensionOutcome out;
  out.BCClass = inputs.ClassC != 0 ? 'C' : 'B';
  // Every step below may end the run; what it did not reach stays nullopt,
  // so no label keeps a value that belongs to an earlier evaluation.
  auto stop = [&out](Failure failure) {
    out.failure = std::move(failure);
    return out;
  };
  out.PresentTension = PresentTensionOf(inputs.TensionEst, inputs.Check3);
  out.shown.present_tension = FormatFixed(out.PresentTension, 1);
  if (!std::isfinite(out.PresentTension))
    return stop(Failure(kNotFinite, {Failure(kTermPresentTension)}));

  if (inputs.ClassA == 1) {
    if (std::optional<Failure> unusable = UnusableRecord(state))
      return stop(*unusable);
    const Result<float> allow = SpanAllowTension(state, 0);
    if (!allow)
      return stop(allow.failure());
    out.SpanAllowA = *allow;
    out.shown.allow_a = "甲=" + FormatKgf(*allow);
  } else {
    out.SpanAllowA = 0.0f;
    out.shown.allow_a = std::string();
  }

  if (std::optional<Failure> unusable = UnusableRecord(state))
    return stop(*unusable);
  const Result<float> allow_bc =
      out.BCClass == 'C' ? SpanAllowTension(state, 1) : IceAllowTension(state);
  if (!allow_bc)
    return stop(allow_bc.failure());
  out.SpanAllowBC = *allow_bc;
  out.shown.allow_bc = (out.BCClass == 'C' ? "丙=" : "乙=") + FormatKgf(*allow_bc);

  // The smaller of the two; the class-B/C value on a tie and when class A
  // is off (SpanAllowA 0).
  const float allow_a = *out.SpanAllowA;
  const float governing = (*allow_bc > allow_a && allow_a > 0) ? allow_a : *allow_bc;
  out.Governing = governing;
  if (governing == 0.0f)
    return stop(Failure(kDivisionByZero, {Failure(kTermGoverningZero)}));

  // Per cent, halves up: floor(P / G * 100 + 0.5) in double.
  const double ratio = std::floor(double{out.PresentTension} / double{governing} * 100.0 + 0.5);
  if (!std::isfinite(ratio))
    return stop(Failure(kNotFinite, {Failure(kTermRatio)}));
  out.Ratio = ratio;
  out.shown.ratio = FormatWhole(ratio);

  const WireRecord* record = state.SelectedWire();
  if (record == nullptr)
    return stop(Failure(kConductorIndexOutsideTable));
  const double span = state.SpanLength;
  const double sag = span * span * double{record->Weight} / kSagDivisor / double{governing};
  if (!std::isfinite(sag))
    return stop(Failure(kNotFinite, {Failure(kTermSpecifiedSag)}));
  out.SpecifiedSag = sag;
  out.shown.specified_sag = FormatFixed(sag, 2);

  out.shown.ratio_red = ratio > kRedAbovePercent;
  return out;
}

}  // namespace sarn
