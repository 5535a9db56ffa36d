#include "sag/sag_computation.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "output/number_format.h"
#include "tension/tension_evaluation.h"

namespace sarn {

namespace {

// One step of the computation: its arithmetic runs in double and its result
// is stored as a 32-bit float. A step fails (nullopt) on a division by zero,
// on a result that is not a finite number, and on a result beyond the 32-bit
// float range; the caller then leaves the target as it was and goes on.
using Step = std::optional<double>;

Step Checked(double value) {
  if (!std::isfinite(value) || std::fabs(value) > FLT_MAX)
    return std::nullopt;
  return value;
}

// a / b, failing on a zero divisor (IEEE arithmetic would quietly give an
// infinity, or nothing at all for 0 / 0).
Step Divide(Step a, Step b) {
  if (!a || !b || *b == 0.0)
    return std::nullopt;
  return Checked(*a / *b);
}

// Applies a step to its 32-bit target; true when it was stored.
bool Store(Step value, float* target) {
  if (!value)
    return false;
  *target = static_cast<float>(*value);
  return true;
}

// The 16-bit row sum WireY(i) + WireY(8 - i); nullopt on overflow.
std::optional<int16_t> RowSum(int16_t a, int16_t b) {
  const int sum = int{a} + int{b};
  if (sum < std::numeric_limits<int16_t>::min() || sum > std::numeric_limits<int16_t>::max())
    return std::nullopt;
  return static_cast<int16_t>(sum);
}

}  // namespace

SagOutcome ComputeSag(const MeasurementState& state, const SagInputs& inputs) {
  const double span = state.SpanLength;          // L, m
  const double distance = state.ApproxDistance;  // D, m
  const double height = state.ApproxHeight;      // Hh, m
  const WireRecord* wire = state.SelectedWire();
  const bool width_correction = inputs.Check6[0] == 1;
  const bool height_correction = inputs.Check6[1] == 1;
  const bool span_correction = inputs.Check6[2] == 1;

  SagOutcome out;
  std::array<float, 4>& sag = out.SagEst;  // all 0 at the start of the run
  float chord = 0;                         // ChordLength, one value reused by the passes
  out.WidthFactor = 0;

  for (std::size_t i = 0; i < 4; ++i) {
    const int pass = static_cast<int>(i);
    out.TensionEst[i] = 0;

    // The pass's fraction of the span, then the chord length in metres:
    // L * fraction, or with the span correction the chord that subtends the
    // fraction of the half-angle atan(L / 2D) under which the half span is
    // seen from D: 2 D tan(fraction * atan(L / 2 / D)).
    chord = static_cast<float>(4 - pass) / 4.0f;
    if (span_correction) {
      const Step half_angle_tangent = Divide(Divide(span, 2.0), distance);
      if (half_angle_tangent)
        Store(Checked(2.0 * distance * std::tan(chord * std::atan(*half_angle_tangent))), &chord);
    } else {
      Store(Checked(span * chord), &chord);
    }
    out.ChordLength[i] = chord;

    // Width correction factor, from the chord of pass 0 (x = that chord):
    //   WidthFactor = 1 / ((atan(1 / D) / atan(x / 2 / D)) * x / 2)
    // the angle per metre across the span over the angle of one metre at D.
    if (pass == 0) {
      if (width_correction) {
        const Step one_metre = Divide(1.0, distance);
        const Step half_chord = Divide(Divide(double{chord}, 2.0), distance);
        if (one_metre && half_chord) {
          const Step ratio = Divide(std::atan(*one_metre), std::atan(*half_chord));
          if (ratio)
            Store(Divide(1.0, Checked(*ratio * chord / 2.0)), &out.WidthFactor);
        }
      } else {
        out.WidthFactor = 1;
      }
    }

    // Sag in the picture: p = WireY(4) - (WireY(i) + WireY(8-i)) / 2 pixels
    // (the row sum is a 16-bit integer, the halving exact), positive when the
    // conductor lies below the chord; in metres with L / (X2 - X1) metres per
    // pixel, whatever the signs of p and of X2 - X1.
    // With precision rows, p is formed from the fractional rows in double
    // precision (no 16-bit sum).
    Step p;
    Step extent = Checked(double{inputs.ChordX2} - double{inputs.ChordX1});
    if (inputs.Corrected) {
      const CorrectedPoints& c = *inputs.Corrected;
      if (const std::optional<double> pixels =
              ChordSagPixels(c.x[i], c.y[i], c.x[4], c.y[4], c.x[8 - i], c.y[8 - i]))
        p = Checked(*pixels);
      extent = Checked(c.chord_x2 - c.chord_x1);
    } else if (inputs.PreciseRows) {
      const std::array<float, 9>& rows = *inputs.PreciseRows;
      p = Checked(double{rows[4]} - (double{rows[i]} + double{rows[8 - i]}) / 2.0);
    } else if (const std::optional<int16_t> ends = RowSum(inputs.WireY[i], inputs.WireY[8 - i])) {
      p = inputs.WireY[4] - *ends / 2.0;
    }
    bool sag_stored = false;
    if (p && extent) {
      if (const Step ratio = Divide(*p, extent))
        sag_stored = Store(Checked(span * std::fabs(*ratio) * out.WidthFactor), &sag[i]);
    }
    // A failed sag step keeps SagEst at 0, but the sag is then not known (a
    // chord of zero horizontal extent, before the first trace, or a row sum
    // beyond 16 bits): it is shown as empty text rather than as 0.000.
    out.SagDefined[i] = sag_stored;
    if (!sag_stored && !out.failure)
      out.failure = Failure(MessageId::kSagUnknown, {std::to_string(pass)});

    // Height correction, with s the sag:
    //   s * atan(s / sqrt(D^2 + Hh^2)) / (atan(Hh / D) - atan((Hh - s) / D))
    // the sag seen square-on at the slant distance over the angle that the
    // vertical stretch Hh - s .. Hh subtends at horizontal distance D.
    if (height_correction) {
      const double s = sag[i];
      const Step slant = Divide(s, std::sqrt(distance * distance + height * height));
      const Step top = Divide(height, distance);
      const Step bottom = Divide(height - s, distance);
      if (slant && top && bottom)
        Store(Divide(s * std::atan(*slant), std::atan(*top) - std::atan(*bottom)), &sag[i]);
    }

    // Parabolic estimate T = ((chord^2 * w) / 8) / sag, kgf. No estimate
    // without a selected conductor; a sag of 0 fails the step (the estimate
    // stays 0).
    if (wire != nullptr) {
      const double c = chord;
      Store(Divide(Checked(c * c * wire->Weight / 8.0), double{sag[i]}), &out.TensionEst[i]);
    }
    out.EstimateDefined[i] = out.SagDefined[i];
  }

  out.sag_text = out.SagDefined[0] ? FormatFixed(sag[0], 3) : std::string();

  // Present tension: the plain mean of the three shown estimates, summed one
  // 32-bit step at a time.
  float present = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    out.estimate_texts[i] =
        out.EstimateDefined[i] ? FormatFixed(out.TensionEst[i], 1) : std::string();
    Store(Checked(double{present} + out.TensionEst[i]), &present);
  }
  Store(Divide(double{present}, 3.0), &present);
  out.MeanTension = present;
  return out;
}

std::optional<double> ChordSagPixels(double ax, double ay, double mx, double my, double bx,
                                     double by) {
  if (bx < ax) {
    std::swap(ax, bx);
    std::swap(ay, by);
  }
  const double left = mx - ax, right = bx - mx, w = bx - ax;
  if (!(left > 0) || !(right > 0))
    return std::nullopt;
  const double chord_at_m = ay + (by - ay) * left / w;
  const double p = (my - chord_at_m) * (w / 2) * (w / 2) / (left * right);
  if (!std::isfinite(p))
    return std::nullopt;
  return p;
}

bool WithinOneThirtieth(float present_tension, float estimate) {
  const auto distance = static_cast<float>(std::fabs(double{present_tension} - double{estimate}));
  const auto allowance = static_cast<float>(double{present_tension} / 30.0);
  return distance < allowance;
}

std::array<int, 3> PreselectEstimates(const SagOutcome& sag, std::array<int, 3> ticks_before,
                                      const TickChanged& changed) {
  const std::array<float, 3> estimates = {sag.TensionEst[0], sag.TensionEst[1], sag.TensionEst[2]};
  std::array<int, 3> ticks = ticks_before;
  float present = sag.MeanTension;
  for (std::size_t i = 0; i < 3; ++i) {
    const int tick = sag.EstimateDefined[i] && WithinOneThirtieth(present, estimates[i]) ? 1 : 0;
    if (tick == ticks[i])
      continue;  // an unchanged box raises nothing
    ticks[i] = tick;
    present =
        changed ? changed(static_cast<int>(i), tick, ticks) : PresentTensionOf(estimates, ticks);
  }
  return ticks;
}

}  // namespace sarn
