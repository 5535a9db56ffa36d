#pragma once

// The lines a scan draws: the chord and station marks on the overview
// (overview units) and on the working image (working-image pixels).

#include <array>
#include <cstdint>

#include "tracing/scan.h"

namespace sarn {

struct GuideSegment {
  float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

struct ScanGuides {
  GuideSegment chord_overview;                         // Line1(1)
  std::array<GuideSegment, kStations> marks_overview;  // Line2(1..7) used
  GuideSegment drawn_working;                          // Line3(0)
  GuideSegment chord_working;                          // Line3(1)
  std::array<GuideSegment, kStations> marks_working;   // Line4(1..7) used
};

ScanGuides ComputeGuides(const ScanLine& line, float img_scale,
                         const std::array<int16_t, kStations>& wire_y);

// Moves the chord and the station marks onto `rows` (working-image rows,
// fractional: the traced conductor's rows at the stations) instead of the
// scan's whole rows; the columns stay.
void PlaceGuidesOnRows(const std::array<float, kStations>& rows, float img_scale,
                       ScanGuides* guides);

}  // namespace sarn
