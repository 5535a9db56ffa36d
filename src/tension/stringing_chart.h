#pragma once

// The stringing chart of a span: from the present condition, tension T0 (kgf)
// at the air temperature t0 under the conductor's own weight, the tension and
// sag the conductor takes at other temperatures, and the tension it reaches in
// each design load condition. Everything is in double precision, from the
// parabolic state equation between the present condition and the one sought:
//   x - E S^2 (q w)^2 / (24 x^2) = x0 - E S^2 w^2 / (24 x0^2) - E alpha (t - t0)
// with E = Elasticity * 1000 / 9.8 (kgf/mm2), alpha = Expansion / 1e6 (per
// degC), w = Weight / Area, S the span (m), x = T / Area and x0 = T0 / Area
// (kgf/mm2); q = 1 under own weight, the design condition's load ratio
// otherwise. Multiplied by x^2 it is the cubic x^2 (x - k) = a solved by
// SolveStateEqPrecise. The sag under own weight is D = Weight S^2 / (8 T) (m).
//
// With T0 equal to a condition's span allowable tension, that condition's
// tension is the allowable tension Ta (100 %): the right-hand side then
// equals s1 - E S^2 (q w)^2 / (24 s1^2).

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "state/failure.h"
#include "state/measurement_state.h"
#include "state/wire_table.h"
#include "tension/state_equation.h"

namespace sarn {

// The temperatures of the chart: from, from + step, ... up to `to` (°C). The
// last row is the last step that does not pass `to`.
struct TemperatureRange {
  double from_c = -20;
  double to_c = 40;
  double step_c = 5;
};

// At most this many temperatures in one chart.
inline constexpr int kMaxChartRows = 1000;

struct StringingChartInputs {
  WireRecord wire;
  double span_m = 0;               // S
  double air_temp_c = 0;           // t0, at the photograph
  double present_tension_kgf = 0;  // T0, under own weight at t0
  // (0) the class-A temperature, (1) the low-temperature-season temperature.
  std::array<double, 2> design_temps_c{};
  TemperatureRange range;
};

// One temperature under own weight. A temperature at which the equation has
// no solution carries no tension and no sag.
struct ChartRow {
  double temperature_c = 0;
  std::optional<double> tension_kgf;
  std::optional<double> sag_m;
};

// One design load condition: class A at the class-A temperature, classes B
// and C at the low-temperature-season temperature.
struct ChartCondition {
  LoadClass load_class = LoadClass::A;
  double temperature_c = 0;
  double load_ratio = 0;                       // q
  std::optional<double> tension_kgf;           // none: no solution
  std::optional<double> percent_of_allowable;  // tension / Ta * 100
};

struct StringingChart {
  std::string wire_name;  // without its padding
  double span_m = 0;
  double air_temp_c = 0;
  double present_tension_kgf = 0;
  double present_sag_m = 0;          // D at T0
  double allowable_tension_kgf = 0;  // Ta = BreakLoad / SafetyFactor * 1000 / 9.8
  std::vector<ChartRow> rows;
  std::array<ChartCondition, 3> conditions;  // classes A, B, C in this order
};

// The chart, or why none can be made (an input that is zero, negative or not
// a finite number, a temperature range with a step that is not positive or
// with more than kMaxChartRows rows).
using StringingChartResult = Result<StringingChart>;

StringingChartResult ComputeStringingChart(const StringingChartInputs& inputs);

// The chart of the measurement's selected conductor, span, air temperature
// and design temperatures at the present tension T0.
StringingChartResult ComputeStringingChart(const MeasurementState& state,
                                           double present_tension_kgf,
                                           const TemperatureRange& range = {});

// The temperatures of `range`.
Result<std::vector<double>> ChartTemperatures(const TemperatureRange& range);

}  // namespace sarn
