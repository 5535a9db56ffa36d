#pragma once

// The axes of a stringing chart's plot, for every face that draws one (the
// chart dialog, the report page): the ranges the plot spans and the tick
// steps along each axis, by one rule.
//
// A step is 1, 2, 2.5 or 5 times a power of ten, the smallest of them that
// divides the range into no more than the asked number of intervals; the
// axis then runs from the largest multiple of the step at or below the low
// end to the smallest at or above the high end, and its labels carry as few
// decimals (at most four) as show the step exactly.

#include <optional>
#include <string>
#include <vector>

#include "tension/stringing_chart.h"

namespace sarn {

// Intervals asked for along the temperature axis and along each value axis.
inline constexpr int kTemperatureAxisTicks = 6;
inline constexpr int kValueAxisTicks = 5;

struct ChartAxis {
  double low = 0, high = 1, step = 1;
  int decimals = 0;
  // The tick values from low to high.
  std::vector<double> Ticks() const;
  // A tick value as its label shows it.
  std::string Label(double value) const;
};

// The axis over [low, high] with about `ticks` intervals. A range that is a
// point (or reversed) is widened by a tenth of its value (at least 0.001)
// on each side first.
ChartAxis ChartAxisOver(double low, double high, int ticks);

struct ChartAxes {
  ChartAxis temperature;  // degC, across
  ChartAxis tension;      // kgf, left
  ChartAxis sag;          // m, right
};

// The axes of `chart`: every temperature and the air temperature; the
// tensions and sags of the rows that have both, and the present point; the
// specified sag too when it is finite.
ChartAxes ChartAxesOf(const StringingChart& chart, std::optional<double> specified_sag_m);

}  // namespace sarn
