#pragma once

// The sag computation: from the conductor rows at the nine scan stations, the
// sag of four chords (stations 0-8, 1-7, 2-6, 3-5, all centred on station 4),
// in metres, with the optional span, width and height corrections, and a
// tension estimate per chord by the parabolic relation
//   T = chord^2 * w / (8 * sag)      (kgf, with w in kg/m read as kgf/m).
// Every stored value is a 32-bit float. A step whose arithmetic fails (a
// division by zero, a non-finite result, an overflow) is skipped and the run
// goes on with the values as they stand.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "state/failure.h"
#include "state/measurement_state.h"

namespace sarn {

// The conductor at the nine stations and the chord's ends, mapped to where a
// distortion-free lens would have imaged them. The stations are no longer
// evenly spaced, nor the chord's middle at station 4, so the pixel sag of
// pass i is formed from the three points a = station i, m = station 4,
// b = station 8 - i: the conductor is taken as the parabola through them and
// its vertical distance below the chord ab at the chord's horizontal midpoint
//   p = (m.y - chord(m.x)) * (w/2)^2 / ((m.x - a.x) (b.x - m.x)),  w = b.x - a.x
// is the sag (the same as m.y - (a.y + b.y) / 2 when m lies at the midpoint;
// exact for a parabola, and the catenaries measured here differ from one by
// far less than a pixel). Metres per pixel: L / (chord_x2 - chord_x1), the
// corrected horizontal extent of the chord, the same for every pass (the
// corrected image has one scale).
struct CorrectedPoints {
  std::array<double, 9> x{}, y{};  // stations 0..8
  double chord_x1 = 0, chord_x2 = 0;
};

// The pixel sag p above from three corrected points; nullopt when m does not
// lie strictly between a and b.
std::optional<double> ChordSagPixels(double ax, double ay, double mx, double my, double bx,
                                     double by);

struct SagInputs {
  std::array<int16_t, 9> WireY{};  // working-image row of the conductor per station
  float ChordX1 = 0;               // Line3(1).X1, working-image column of station 0
  float ChordX2 = 0;               // Line3(1).X2, working-image column of station 8
  std::array<int, 3> Check6{};     // 0/1: (0) width, (1) height, (2) span correction
  // Fractional conductor rows per station from precision tracing (working-
  // image rows, pixel centres at whole numbers). When present, the pixel sag
  // of pass i is p = PreciseRows(4) - (PreciseRows(i) + PreciseRows(8 - i)) / 2
  // in double precision and WireY is not read; when absent, WireY is used as
  // above.
  std::optional<std::array<float, 9>> PreciseRows;
  // Lens-corrected points (working-image coordinates, pixel i spanning
  // i..i+1): when present, they replace WireY, PreciseRows and the chord's
  // columns. See CorrectedPoints.
  std::optional<CorrectedPoints> Corrected;
};

struct SagOutcome {
  std::array<float, 4> SagEst{};       // m, per pass
  std::array<bool, 4> SagDefined{};    // false when the sag is not a finite number
                                       // (a chord of zero horizontal extent)
  std::array<float, 4> ChordLength{};  // m, the chord each pass used
  float WidthFactor = 0;
  std::array<float, 4> TensionEst{};      // kgf; 0 where the step failed
  std::array<bool, 4> EstimateDefined{};  // false when the estimate is not a finite number
  float MeanTension = 0;                  // kgf, mean of the three shown estimates

  std::string sag_text;                       // Label4(0), "##0.000", "" when undefined
  std::array<std::string, 3> estimate_texts;  // Label4(3..5), "##0.0", "" when undefined

  // The first pass whose sag is not known; the passes after it still ran
  // and keep their values. None when every sag is known.
  std::optional<Failure> failure;
};

// `state` supplies SpanLength, the selected record's Weight (no estimates when
// WireIndex lies outside the table), ApproxDistance and ApproxHeight.
SagOutcome ComputeSag(const MeasurementState& state, const SagInputs& inputs);

// The preselection test: |present - estimate| < present / 30, both sides
// rounded to 32-bit floats, strict.
bool WithinOneThirtieth(float present_tension, float estimate);

// The preselection of the three estimate boxes, box by box: box i is set by
// WithinOneThirtieth against the present tension as it stands; a box that
// changes re-evaluates at once (`changed(i, tick, ticks)`, which returns the
// present tension after it; by default the mean of the boxes then ticked),
// and the next box is compared against that. The present tension starts as
// the mean of the three shown estimates. Undefined estimates are never ticked.
using TickChanged = std::function<float(int index, int tick, const std::array<int, 3>& ticks)>;
std::array<int, 3> PreselectEstimates(const SagOutcome& sag, std::array<int, 3> ticks_before,
                                      const TickChanged& changed = {});

}  // namespace sarn
