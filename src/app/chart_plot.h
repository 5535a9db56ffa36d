#pragma once

// What the chart dialog's plot and the report page's plot of a stringing
// chart share: the ranges they span and the colours of the two curves.

#include <QColor>
#include <algorithm>
#include <cmath>
#include <optional>

#include "tension/stringing_chart.h"

namespace sarn {

inline const QColor kTensionColour(0, 90, 200);
inline const QColor kSagColour(200, 90, 0);

struct ChartExtent {
  double t_low = 0, t_high = 0;              // degC
  double tension_low = 0, tension_high = 0;  // kgf
  double sag_low = 0, sag_high = 0;          // m
};

// Every temperature of the chart; the tensions and sags of the rows that have
// both, and the present point; the specified sag too when it is finite.
inline ChartExtent ExtentOf(const StringingChart& chart, std::optional<double> specified_sag) {
  ChartExtent e;
  e.t_low = e.t_high = chart.air_temp_c;
  e.tension_low = e.tension_high = chart.present_tension_kgf;
  e.sag_low = e.sag_high = chart.present_sag_m;
  for (const ChartRow& row : chart.rows) {
    e.t_low = std::min(e.t_low, row.temperature_c);
    e.t_high = std::max(e.t_high, row.temperature_c);
    if (!row.tension_kgf || !row.sag_m)
      continue;  // no solution at this temperature
    e.tension_low = std::min(e.tension_low, *row.tension_kgf);
    e.tension_high = std::max(e.tension_high, *row.tension_kgf);
    e.sag_low = std::min(e.sag_low, *row.sag_m);
    e.sag_high = std::max(e.sag_high, *row.sag_m);
  }
  if (specified_sag && std::isfinite(*specified_sag)) {
    e.sag_low = std::min(e.sag_low, *specified_sag);
    e.sag_high = std::max(e.sag_high, *specified_sag);
  }
  return e;
}

}  // namespace sarn
