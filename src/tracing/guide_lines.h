#pragma once

// The lines a scan draws: the chord and station marks on the overview
// (overview units) and on the working image (working-image pixels).

#include <array>
#include <cstdint>

#include "tracing/scan.h"

namespace sarn {

struct LineShape {
  float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

struct ScanGuides {
  LineShape chord_overview;                         // Line1(1)
  std::array<LineShape, kStations> marks_overview;  // Line2(1..7) used
  LineShape drawn_working;                          // Line3(0)
  LineShape chord_working;                          // Line3(1)
  std::array<LineShape, kStations> marks_working;   // Line4(1..7) used
};

ScanGuides ComputeGuides(const ScanLine& line, float img_scale,
                         const std::array<int16_t, kStations>& wire_y);

}  // namespace sarn
