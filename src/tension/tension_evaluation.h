#pragma once

// The tension evaluation: present tension from the ticked estimates, the span
// allowable tensions of the selected load classes, the governing tension, the
// allowable-tension ratio and the specified sag, with the texts the window
// shows for each. Shared by the window and the command line.

#include <array>
#include <optional>
#include <string>

#include "state/failure.h"
#include "state/measurement_state.h"

namespace sarn {

// Mean of the estimates whose boxes are ticked (value 1); 0 when none is.
float PresentTensionOf(const std::array<float, 3>& estimates, const std::array<int, 3>& ticks);

struct TensionInputs {
  std::array<float, 3> TensionEst{};  // kgf, estimates of the three shown chords
  std::array<int, 3> Check3{};        // 0/1: estimate selected
  int ClassA = 1;                     // Check1(0) value
  int ClassC = 0;                     // Check1(2) value; class B is used when 0
};

// What one evaluation leaves. Every step that was reached has its value and
// its text; a step not reached (the run failed before it) has nullopt, and the
// window clears the label of such a step.
struct TensionOutcome {
  float PresentTension = 0;            // kgf, always computed
  std::optional<float> SpanAllowA;     // kgf; 0 when class A is off
  std::optional<float> SpanAllowBC;    // kgf, class B or C
  char BCClass = 'B';                  // 'B' or 'C'
  std::optional<float> Governing;      // kgf
  std::optional<double> Ratio;         // per cent, whole number
  std::optional<double> SpecifiedSag;  // m, parabolic sag at the governing tension

  struct Texts {
    std::string present_tension;          // Label4(2), "##0.0"
    std::optional<std::string> allow_a;   // Label8(0): "甲=2234kGf", or "" when class A is off
    std::optional<std::string> allow_bc;  // Label8(1): "乙=1620kGf" / "丙=1660kGf"
    std::optional<std::string> ratio;     // Label4(1): "93"
    std::optional<std::string> specified_sag;  // Label4(6): "0.09"
    bool ratio_red = false;                    // Label4(1) on red (ratio above 100), else yellow
  } shown;

  std::optional<Failure> failure;  // why the run stopped; none on success
  bool ok() const { return !failure; }
};

TensionOutcome EvaluateTension(const MeasurementState& state, const TensionInputs& inputs);

}  // namespace sarn
