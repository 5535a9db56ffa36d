#include "tracing/scan_check.h"

#include <cmath>
#include <cstdio>

namespace sarn {

std::vector<std::string> StationsOffTheTrace(const std::array<int16_t, kStations>& wire_y,
                                             const PrecisionTrace& trace) {
  std::vector<std::string> warnings;
  if (!trace.credible)
    return warnings;
  for (size_t i = 0; i < kStations; ++i) {
    const double off = wire_y[i] - trace.StationRows[i];
    if (off > kStationOffBelowPx || -off > kStationOffAbovePx) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "station %zu: the scan found row %d, %.1f px from the traced conductor (row "
                    "%.1f)",
                    i, wire_y[i], std::fabs(off), static_cast<double>(trace.StationRows[i]));
      warnings.push_back(text);
    }
  }
  return warnings;
}

}  // namespace sarn
