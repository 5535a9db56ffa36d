#include "tracing/guide_lines.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace sarn {
namespace {

TEST(GuideLinesTest, ChordAndMarksInBothUnits) {
  // Drawn from (10, 20) to (90, 40) overview units at 2 pixels per unit.
  const ScanLine line{10, 20, 90, 40};
  const std::array<int16_t, kStations> wire_y = {100, 110, 118, 124, 126, 125, 120, 112, 103};
  const ScanGuides g = ComputeGuides(line, 2.0f, wire_y);

  // Line1(1): the chord in overview units.
  EXPECT_FLOAT_EQ(g.chord_overview.X1, 10);
  EXPECT_FLOAT_EQ(g.chord_overview.X2, 90);
  EXPECT_FLOAT_EQ(g.chord_overview.Y1, 50);    // 100 / 2
  EXPECT_FLOAT_EQ(g.chord_overview.Y2, 51.5);  // 103 / 2

  // Line3(0): the drawn line; Line3(1): the chord; working-image pixels.
  EXPECT_FLOAT_EQ(g.drawn_working.X1, 20);
  EXPECT_FLOAT_EQ(g.drawn_working.Y1, 40);
  EXPECT_FLOAT_EQ(g.drawn_working.X2, 180);
  EXPECT_FLOAT_EQ(g.drawn_working.Y2, 80);
  EXPECT_FLOAT_EQ(g.chord_working.X1, 20);
  EXPECT_FLOAT_EQ(g.chord_working.Y1, 100);
  EXPECT_FLOAT_EQ(g.chord_working.X2, 180);
  EXPECT_FLOAT_EQ(g.chord_working.Y2, 103);

  for (size_t i = 1; i <= 7; ++i) {
    const double station = static_cast<double>(i);
    const GuideSegment& mark = g.marks_overview[i];
    EXPECT_FLOAT_EQ(mark.X1, static_cast<float>(10 + 10 * station)) << i;
    EXPECT_FLOAT_EQ(mark.X2, mark.X1);
    // The chord's height at the station: 50 + 1.5 / 8 * i.
    EXPECT_FLOAT_EQ(mark.Y1, static_cast<float>(50 + 0.1875 * station)) << i;
    EXPECT_FLOAT_EQ(mark.Y2, wire_y[i] / 2.0f) << i;

    const GuideSegment& working = g.marks_working[i];
    EXPECT_FLOAT_EQ(working.X1, static_cast<float>(20 + 20 * station)) << i;
    EXPECT_FLOAT_EQ(working.X2, working.X1);
    // (103 - 100) * i / 8 + 100, not rounded to a row: 100.375, 100.75, ...
    EXPECT_EQ(working.Y1, static_cast<float>(100 + 0.375 * station)) << i;
    EXPECT_EQ(working.Y2, wire_y[i]) << i;
  }
  // Stations 0 and 8 are the chord's ends and get no mark.
  EXPECT_EQ(g.marks_overview[0].X1, 0);
  EXPECT_EQ(g.marks_working[8].Y2, 0);
}

TEST(GuideLinesTest, RightToLeftMarksRunFromTheStartPoint) {
  const ScanLine line{160, 30, 0, 30};
  std::array<int16_t, kStations> wire_y{};
  wire_y.fill(40);
  const ScanGuides g = ComputeGuides(line, 1.0f, wire_y);
  EXPECT_FLOAT_EQ(g.chord_working.X1, 160);
  EXPECT_FLOAT_EQ(g.chord_working.X2, 0);
  for (size_t i = 1; i <= 7; ++i)
    EXPECT_FLOAT_EQ(g.marks_working[i].X1, 160.0f - 20.0f * static_cast<float>(i)) << i;
}

TEST(GuideLinesTest, CoordinatesAreStoredAsThirtyTwoBitFloats) {
  // 1 / 3 overview units per pixel: the stored values are the nearest floats.
  const ScanLine line{0.1f, 0.2f, 0.7f, 0.3f};
  std::array<int16_t, kStations> wire_y{};
  wire_y[0] = 1;
  wire_y[8] = 2;
  const ScanGuides g = ComputeGuides(line, 3.0f, wire_y);
  EXPECT_EQ(g.chord_overview.Y1, static_cast<float>(1.0 / 3.0));
  EXPECT_EQ(g.chord_overview.Y2, static_cast<float>(2.0 / 3.0));
  // The product is formed in double from the float inputs: 0.1f * 3.
  EXPECT_EQ(g.drawn_working.X1, static_cast<float>(static_cast<double>(0.1f) * 3.0));
}

TEST(GuideLinesTest, RowDifferenceDoesNotOverflowSixteenBits) {
  std::array<int16_t, kStations> wire_y{};
  wire_y[0] = -32768;
  wire_y[8] = 32767;
  const ScanGuides g = ComputeGuides({0, 0, 8, 0}, 1.0f, wire_y);
  // 65535 * 7 / 8 - 32768 = 24575.125
  EXPECT_EQ(g.marks_working[7].Y1, 24575.125f);
  // 65535 * 1 / 8 - 32768 = -24576.125
  EXPECT_EQ(g.marks_working[1].Y1, -24576.125f);
}

}  // namespace
}  // namespace sarn
