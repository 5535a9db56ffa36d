#include "tension/stringing_chart.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace sarn {
namespace {

bool Positive(double value) {
  return std::isfinite(value) && value > 0.0;
}

using enum MessageId;

// The first input that cannot make a chart, or none when all can.
std::optional<Failure> InputProblem(const StringingChartInputs& in) {
  const WireRecord& r = in.wire;
  auto conductor = [](const char* field) { return Failure(kTermConductorField, {field}); };
  const struct {
    double value;
    Failure what;
  } positive[] = {
      {r.Weight, conductor("Weight")},
      {r.Area, conductor("Area")},
      {r.Elasticity, conductor("Elasticity")},
      {r.Expansion, conductor("Expansion")},
      {r.BreakLoad, conductor("BreakLoad")},
      {r.SafetyFactor, conductor("SafetyFactor")},
      {in.span_m, Failure(kTermSpanLength)},
      {in.present_tension_kgf, Failure(kTermPresentTension)},
  };
  for (const auto& p : positive) {
    if (!Positive(p.value))
      return Failure(kNotPositive, {p.what});
  }
  if (!std::isfinite(r.Diameter) || r.Diameter < 0)
    return Failure(kNegativeOrNotNumber, {conductor("Diameter")});
  if (!std::isfinite(r.WindFactor) || r.WindFactor < 0)
    return Failure(kNegativeOrNotNumber, {conductor("WindFactor")});
  if (!std::isfinite(in.air_temp_c))
    return Failure(kNotANumber, {Failure(kTermAirTemperature)});
  if (!std::isfinite(in.design_temps_c[0]) || !std::isfinite(in.design_temps_c[1]))
    return Failure(kNotANumber, {Failure(kTermDesignTemperature)});
  return std::nullopt;
}

// The stress x (kgf/mm2) with x - a / x^2 = k, or nullopt when there is none
// within the double range.
std::optional<double> StressOf(double a, double k) {
  const Result<double> x = SolveStateEqPrecise(a, k);
  if (x && std::isfinite(*x) && *x > 0.0)
    return *x;
  return std::nullopt;
}

}  // namespace

Result<std::vector<double>> ChartTemperatures(const TemperatureRange& range) {
  if (!std::isfinite(range.from_c) || !std::isfinite(range.to_c) || !std::isfinite(range.step_c))
    return Failure(kNotANumber, {Failure(kTermTemperatureRange)});
  if (!(range.step_c > 0.0))
    return Failure(kChartStepNotPositive);
  if (range.to_c < range.from_c)
    return Failure(kChartRangeReversed);
  // A step count computed in double; the small allowance keeps `to` when the
  // division lands a hair below a whole number (-20 to 40 by 0.1).
  const double steps = std::floor((range.to_c - range.from_c) / range.step_c + 1e-9);
  if (!(steps < kMaxChartRows))
    return Failure(kChartTooManyRows, {std::to_string(kMaxChartRows)});
  std::vector<double> temperatures;
  for (int i = 0; i <= static_cast<int>(steps); ++i)
    temperatures.push_back(range.from_c + i * range.step_c);
  return temperatures;
}

StringingChartResult ComputeStringingChart(const StringingChartInputs& in) {
  if (std::optional<Failure> problem = InputProblem(in))
    return *problem;
  const Result<std::vector<double>> temperatures = ChartTemperatures(in.range);
  if (!temperatures)
    return temperatures.failure();

  const WireRecord& r = in.wire;
  const double E = double{r.Elasticity} * 1000.0 / kGravity;   // kgf/mm2
  const double alpha = double{r.Expansion} / kExpansionScale;  // per deg C
  const double w = double{r.Weight} / double{r.Area};
  const double S = in.span_m;
  const double a = E * S * S * w * w / kStateEqDivisor;  // own-weight term, q = 1
  const double x0 = in.present_tension_kgf / double{r.Area};
  // Right-hand side at temperature t: the present condition carried to t.
  auto right_side = [&](double t) { return x0 - a / (x0 * x0) - E * alpha * (t - in.air_temp_c); };
  auto sag_at = [&](double tension) { return double{r.Weight} * S * S / (kSagDivisor * tension); };

  StringingChart chart;
  chart.wire_name = TrimmedWireName(r.Name);
  chart.span_m = S;
  chart.air_temp_c = in.air_temp_c;
  chart.present_tension_kgf = in.present_tension_kgf;
  chart.present_sag_m = sag_at(in.present_tension_kgf);
  chart.allowable_tension_kgf = double{r.BreakLoad} / double{r.SafetyFactor} * 1000.0 / kGravity;
  if (!std::isfinite(chart.present_sag_m) || !std::isfinite(chart.allowable_tension_kgf))
    return Failure(kChartPresentNotFinite);

  for (double t : *temperatures) {
    ChartRow row;
    row.temperature_c = t;
    if (const std::optional<double> x = StressOf(a, right_side(t))) {
      const double tension = *x * double{r.Area};
      const double sag = sag_at(tension);
      if (std::isfinite(tension) && std::isfinite(sag)) {
        row.tension_kgf = tension;
        row.sag_m = sag;
      }
    }
    chart.rows.push_back(row);
  }

  const LoadClass classes[] = {LoadClass::A, LoadClass::B, LoadClass::C};
  for (size_t i = 0; i < chart.conditions.size(); ++i) {
    ChartCondition& c = chart.conditions[i];
    c.load_class = classes[i];
    c.temperature_c = c.load_class == LoadClass::A ? in.design_temps_c[0] : in.design_temps_c[1];
    const Result<double> load_ratio = LoadRatioPrecise(r, c.load_class);
    if (!load_ratio)
      return load_ratio.failure();
    c.load_ratio = *load_ratio;
    const double q = c.load_ratio;
    if (const std::optional<double> x = StressOf(a * q * q, right_side(c.temperature_c))) {
      const double tension = *x * double{r.Area};
      const double percent = tension / chart.allowable_tension_kgf * 100.0;
      if (std::isfinite(tension) && std::isfinite(percent)) {
        c.tension_kgf = tension;
        c.percent_of_allowable = percent;
      }
    }
  }
  return chart;
}

StringingChartResult ComputeStringingChart(const MeasurementState& state,
                                           double present_tension_kgf,
                                           const TemperatureRange& range) {
  const WireRecord* wire = state.SelectedWire();
  if (wire == nullptr)
    return Failure(kChartNoConductor);
  StringingChartInputs in;
  in.wire = *wire;
  in.span_m = state.SpanLength;
  in.air_temp_c = state.AirTemp;
  in.present_tension_kgf = present_tension_kgf;
  in.design_temps_c = {static_cast<double>(state.DesignTemp[0]),
                       static_cast<double>(state.DesignTemp[1])};
  in.range = range;
  return ComputeStringingChart(in);
}

}  // namespace sarn
