#pragma once

// The nine-station scan checked against the conductor that precision tracing
// finds. The scan finds a conductor's top edge, the trace its centre: a top
// edge may lie up to half a thick conductor (5 px) above the centre, so a
// station is off the conductor when its row lies more than 3 px below the
// traced row or more than 3 + 5 px above it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tracing/precision_trace.h"
#include "tracing/scan.h"

namespace sarn {

inline constexpr double kStationOffBelowPx = 3;
inline constexpr double kStationOffAbovePx = 3 + 5;

// One warning per station off a credible trace ("station 4: the scan found
// row 731, 12.0 px from the traced conductor (row 719.0)"); none when the
// trace is not credible.
std::vector<std::string> StationsOffTheTrace(const std::array<int16_t, kStations>& wire_y,
                                             const PrecisionTrace& trace);

}  // namespace sarn
