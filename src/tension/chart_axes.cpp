#include "tension/chart_axes.h"

#include <algorithm>
#include <cmath>

#include "output/number_format.h"

namespace sarn {

std::vector<double> ChartAxis::Ticks() const {
  std::vector<double> ticks;
  // Stepped by count, not by adding the step, so that no rounding drift
  // adds or drops the last tick.
  const double intervals = std::round((high - low) / step);
  for (double i = 0; i <= intervals; ++i)
    ticks.push_back(low + i * step);
  return ticks;
}

std::string ChartAxis::Label(double value) const {
  return FormatFixed(value, decimals);
}

ChartAxis ChartAxisOver(double low, double high, int ticks) {
  if (!(high > low)) {
    const double pad = std::max(1e-3, std::fabs(low) * 0.1);
    low -= pad;
    high += pad;
  }
  const double raw = (high - low) / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  ChartAxis axis;
  axis.step = 10 * power;
  for (double m : {1.0, 2.0, 2.5, 5.0}) {
    if (m * power >= raw) {
      axis.step = m * power;
      break;
    }
  }
  axis.low = std::floor(low / axis.step) * axis.step;
  axis.high = std::ceil(high / axis.step) * axis.step;
  while (axis.decimals < 4) {
    const double scaled = axis.step * std::pow(10.0, axis.decimals);
    if (std::fabs(scaled - std::round(scaled)) < 1e-6)
      break;
    ++axis.decimals;
  }
  return axis;
}

ChartAxes ChartAxesOf(const StringingChart& chart, std::optional<double> specified_sag_m) {
  double t_low = chart.air_temp_c, t_high = chart.air_temp_c;
  double tension_low = chart.present_tension_kgf, tension_high = chart.present_tension_kgf;
  double sag_low = chart.present_sag_m, sag_high = chart.present_sag_m;
  for (const ChartRow& row : chart.rows) {
    t_low = std::min(t_low, row.temperature_c);
    t_high = std::max(t_high, row.temperature_c);
    if (!row.tension_kgf || !row.sag_m)
      continue;  // no solution at this temperature
    tension_low = std::min(tension_low, *row.tension_kgf);
    tension_high = std::max(tension_high, *row.tension_kgf);
    sag_low = std::min(sag_low, *row.sag_m);
    sag_high = std::max(sag_high, *row.sag_m);
  }
  if (specified_sag_m && std::isfinite(*specified_sag_m)) {
    sag_low = std::min(sag_low, *specified_sag_m);
    sag_high = std::max(sag_high, *specified_sag_m);
  }
  return {ChartAxisOver(t_low, t_high, kTemperatureAxisTicks),
          ChartAxisOver(tension_low, tension_high, kValueAxisTicks),
          ChartAxisOver(sag_low, sag_high, kValueAxisTicks)};
}

}  // namespace sarn
