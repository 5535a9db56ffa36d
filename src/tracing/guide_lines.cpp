#include "tracing/guide_lines.h"

#include <cstddef>

namespace sarn {

// Every coordinate is computed in double from the 32-bit values it reads and
// stored as a 32-bit float, as the line shapes hold it.
ScanGuides ComputeGuides(const ScanLine& line, float img_scale,
                         const std::array<int16_t, kStations>& wire_y) {
  const double scale = img_scale;
  const int32_t first_row = wire_y[0];
  const int32_t last_row = wire_y[kStations - 1];
  ScanGuides guides;

  // Line1(1): the chord between the conductor points of stations 0 and 8, in
  // overview units.
  GuideSegment& chord = guides.chord_overview;
  chord.X1 = line.X1;
  chord.X2 = line.X2;
  chord.Y1 = static_cast<float>(first_row / scale);
  chord.Y2 = static_cast<float>(last_row / scale);

  // Line3(0): the drawn line; Line3(1): the chord; both in working-image
  // pixels. The chord's X2 - X1 is the traced span's horizontal extent.
  guides.drawn_working = {static_cast<float>(line.X1 * scale), static_cast<float>(line.Y1 * scale),
                          static_cast<float>(line.X2 * scale), static_cast<float>(line.Y2 * scale)};
  guides.chord_working = {static_cast<float>(line.X1 * scale), static_cast<float>(first_row),
                          static_cast<float>(line.X2 * scale), static_cast<float>(last_row)};

  // Line2(1..7), Line4(1..7): vertical marks from the chord to the conductor
  // at the unrounded station positions (the sampling used the rounded
  // columns). Stations 0 and 8 are the chord's ends and get no mark.
  for (std::size_t i = 1; i + 1 < kStations; ++i) {
    const int station = static_cast<int>(i);
    GuideSegment& mark = guides.marks_overview[i];
    mark.X1 =
        static_cast<float>((static_cast<double>(chord.X2) - chord.X1) / 8.0 * station + chord.X1);
    mark.X2 = mark.X1;
    mark.Y1 =
        static_cast<float>((static_cast<double>(chord.Y2) - chord.Y1) / 8.0 * station + chord.Y1);
    mark.Y2 = static_cast<float>(wire_y[i] / scale);

    // The chord's row at the station: an integer difference and product,
    // divided by 8 exactly (not rounded to a row).
    GuideSegment& mark_working = guides.marks_working[i];
    mark_working.X1 = static_cast<float>(mark.X1 * scale);
    mark_working.X2 = mark_working.X1;
    mark_working.Y1 =
        static_cast<float>(static_cast<double>((last_row - first_row) * station) / 8.0 + first_row);
    mark_working.Y2 = static_cast<float>(wire_y[i]);
  }
  return guides;
}

void PlaceGuidesOnRows(const std::array<float, kStations>& rows, float img_scale,
                       ScanGuides* guides) {
  const double scale = img_scale;
  const double first = rows[0], last = rows[kStations - 1];
  guides->chord_overview.Y1 = static_cast<float>(first / scale);
  guides->chord_overview.Y2 = static_cast<float>(last / scale);
  guides->chord_working.Y1 = static_cast<float>(first);
  guides->chord_working.Y2 = static_cast<float>(last);
  for (size_t i = 1; i + 1 < kStations; ++i) {
    const double chord_row = (last - first) / 8.0 * static_cast<double>(i) + first;
    guides->marks_overview[i].Y1 = static_cast<float>(chord_row / scale);
    guides->marks_overview[i].Y2 = static_cast<float>(rows[i] / scale);
    guides->marks_working[i].Y1 = static_cast<float>(chord_row);
    guides->marks_working[i].Y2 = rows[i];
  }
}

}  // namespace sarn
