#include "tracing/scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <utility>
#include <vector>

#include "tracing/raster_fixtures.h"

namespace sarn {
namespace {

using fixtures::FunctionRaster;
using fixtures::GreyOfBrightness;
using fixtures::ProfileWithDrops;
using fixtures::VectorRaster;

constexpr int32_t kTop = 20;  // row of the horizontal test line

// A raster whose every column carries the drops given relative to the scan
// start (sample j lies at row kTop + j), and a horizontal line over it.
struct ProfileCase {
  VectorRaster raster{64, 300, 0};
  ScanLine line{8, kTop, 56, kTop};
  explicit ProfileCase(const std::vector<std::pair<int, int>>& drops_by_sample) {
    std::vector<std::pair<int, int>> by_row;
    for (const auto& [sample, drop] : drops_by_sample)
      by_row.emplace_back(kTop + sample, drop);
    raster.SetRowBrightness(ProfileWithDrops(raster.height(), 600, by_row));
  }
  ScanResult Run(Criterion criterion, double threshold) const {
    return RunScan(line, 1.0f, raster, criterion, threshold);
  }
};

struct DetectionCase {
  const char* name;
  std::vector<std::pair<int, int>> drops;  // (sample j, Drop(j))
  Criterion criterion;
  double threshold;
  int expected_sample;  // -1: no hit, WireY = ScanTop
};

void PrintTo(const DetectionCase& c, std::ostream* os) {
  *os << c.name;
}

class DetectionTest : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(DetectionTest, FindsTheExpectedRowAtEveryStation) {
  const DetectionCase& c = GetParam();
  const ScanResult result = ProfileCase(c.drops).Run(c.criterion, c.threshold);
  const int expected = c.expected_sample < 0 ? kTop : kTop + c.expected_sample;
  for (int i = 0; i < kStations; ++i) {
    EXPECT_EQ(result.ScanTop[static_cast<size_t>(i)], kTop) << c.name << " station " << i;
    EXPECT_EQ(result.WireY[static_cast<size_t>(i)], expected) << c.name << " station " << i;
  }
}

const Criterion kChange = Criterion::ChangeValue;
const Criterion kDark = Criterion::Darkness;

INSTANTIATE_TEST_SUITE_P(
    Criteria, DetectionTest,
    ::testing::Values(
        // Row 10 is no peak (50 is not greater than the next 50); row 11 is.
        DetectionCase{"change 50 50 20", {{10, 50}, {11, 50}, {12, 20}}, kChange, 40, 11},
        // The next drop after row 200 is Drop(201) = 0.
        DetectionCase{"change last row", {{200, 45}}, kChange, 40, 200},
        // Hits at 10 and 12; ends at 12 because the drop at 13 is negative.
        DetectionCase{"dark 45 0 60 -10", {{10, 45}, {11, 0}, {12, 60}, {13, -10}}, kDark, 40, 12},
        DetectionCase{"change on the dark profile",
                      {{10, 45}, {11, 0}, {12, 60}, {13, -10}},
                      kChange,
                      40,
                      10},
        DetectionCase{"change equal to T", {{10, 40}}, kChange, 40, -1},
        DetectionCase{"dark equal to T", {{10, 40}, {11, -5}}, kDark, 40, -1},
        DetectionCase{"change just above T", {{10, 40}}, kChange, 39.5, 10},
        DetectionCase{"uniform sky change", {}, kChange, 40, -1},
        DetectionCase{"uniform sky dark", {}, kDark, 40, -1},
        // A negative drop before the first hit does not end the search.
        DetectionCase{"dark negative first", {{5, -10}, {20, 50}, {21, -5}}, kDark, 40, 20},
        // After a hit the search follows drops above T and ends before the
        // brightness rises; a next drop of exactly 0 does not end it.
        DetectionCase{
            "dark follows edge", {{30, 50}, {31, 0}, {32, 0}, {33, 70}, {40, -1}}, kDark, 40, 33},
        // Without a rise after the hit the search runs to j = 200.
        DetectionCase{"dark no rise", {{30, 50}}, kDark, 40, 30},
        // T = -5: a drop of 0 exceeds it. Darkness then moves to every row.
        DetectionCase{"dark negative threshold", {}, kDark, -5, 200},
        // Change value needs a peak: 0 > -5 and 0 > Drop(11) = -3.
        DetectionCase{"change negative threshold", {{11, -3}}, kChange, -5, 10},
        DetectionCase{"change drop before peak", {{10, 41}, {11, 60}, {12, 10}}, kChange, 40, 11}));

TEST(ScanSamplingTest, BrightnessIsTheSumOfTheThreeLowBytes) {
  VectorRaster raster(4, 4, 0);
  // 0x10 + 0x20 + 0x30 = 96; the top byte is not a colour.
  raster.Set(2, 1, static_cast<int32_t>(0x7F102030));
  const ScanLine point{2, 1, 2, 1};
  const ScanResult result = RunScan(point, 1.0f, raster, Criterion::ChangeValue, 40);
  EXPECT_EQ(result.Bright[0][0], 96);
  EXPECT_EQ(result.Bright[0][1], 0);    // (2, 2) black
  EXPECT_EQ(result.Bright[0][3], 765);  // (2, 4) lies below the picture
}

TEST(ScanSamplingTest, SamplesOutsideThePictureReadWhite) {
  VectorRaster raster(16, 100, GreyOfBrightness(300));
  const ScanLine line{4, 50, 12, 50};  // 202 samples from row 50 reach row 251
  const ScanResult result = RunScan(line, 1.0f, raster, Criterion::ChangeValue, 40);
  for (size_t i = 0; i < kStations; ++i) {
    for (size_t j = 0; j < kSamples; ++j)
      EXPECT_EQ(result.Bright[i][j], j < 50 ? 300 : 765) << i << "," << j;
    // Brighter below the picture: a drop of -465 at its lower edge.
    EXPECT_EQ(result.Drop[i][50], -465);
    EXPECT_EQ(result.WireY[i], 50);  // no hit
  }
  // A column outside the picture reads white throughout.
  const ScanResult beside = RunScan({-30, 10, -30, 10}, 1.0f, raster, Criterion::Darkness, 40);
  for (size_t j = 0; j < kSamples; ++j)
    EXPECT_EQ(beside.Bright[4][j], 765);
}

TEST(ScanSamplingTest, DropsAreDifferencesWithTheEndsLeftZero) {
  // Brightness changes at every row, including at sample 201.
  VectorRaster raster(8, 260, 0);
  std::vector<int> rows(260);
  for (size_t y = 0; y < rows.size(); ++y)
    rows[y] = static_cast<int>((y * 37) % 700);
  raster.SetRowBrightness(rows);
  const ScanResult result = RunScan({1, 5, 6, 5}, 1.0f, raster, Criterion::ChangeValue, 1000);
  for (size_t i = 0; i < kStations; ++i) {
    EXPECT_EQ(result.Drop[i][0], 0);
    EXPECT_EQ(result.Drop[i][201], 0);
    for (size_t j = 0; j < kSamples; ++j)
      ASSERT_EQ(result.Bright[i][j], rows[5 + j]);
    for (size_t j = 1; j <= 200; ++j)
      ASSERT_EQ(result.Drop[i][j], rows[5 + j - 1] - rows[5 + j]);
  }
}

TEST(ScanSamplingTest, HitAtAbsoluteRowZeroCountsAsNone) {
  // A line 10 rows above a black picture: rows -10..-1 read white, row 0 is
  // the first dark one.
  VectorRaster raster(16, 300, 0);
  for (Criterion criterion : {Criterion::ChangeValue, Criterion::Darkness}) {
    const ScanResult result = RunScan({2, -10, 14, -10}, 1.0f, raster, criterion, 40);
    EXPECT_EQ(result.Drop[0][10], 765);
    for (size_t i = 0; i < kStations; ++i)
      EXPECT_EQ(result.WireY[i], -10);
  }
  // One row lower the same edge is a hit at row 1.
  VectorRaster shifted(16, 300, 0);
  for (int32_t x = 0; x < 16; ++x)
    shifted.Set(x, 0, 0xFFFFFF);
  const ScanResult result = RunScan({2, -10, 14, -10}, 1.0f, shifted, Criterion::ChangeValue, 40);
  EXPECT_EQ(result.WireY[4], 1);
}

struct GeometryCase {
  ScanLine line;
  float scale;
  int station;
  int32_t column;
  int32_t top;
};

void PrintTo(const GeometryCase& c, std::ostream* os) {
  *os << "(" << c.line.X1 << ", " << c.line.Y1 << ") -> (" << c.line.X2 << ", " << c.line.Y2
      << ") x " << c.scale << " station " << c.station;
}

class StationGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(StationGeometryTest, RoundsHalfToEvenInDouble) {
  const GeometryCase& c = GetParam();
  EXPECT_EQ(StationColumn(c.line, c.scale, c.station), c.column);
  EXPECT_EQ(StationTop(c.line, c.scale, c.station), c.top);
}

INSTANTIATE_TEST_SUITE_P(
    Stations, StationGeometryTest,
    ::testing::Values(
        GeometryCase{{100.5f, 7, 100.5f, 7}, 1, 3, 100, 7},  // 100.5 -> 100
        GeometryCase{{101.5f, 7, 101.5f, 7}, 1, 3, 102, 7},  // 101.5 -> 102
        // (4 - 0) / 8 * i: 0.5, 1.5, 2.5, 3.5 -> 0, 2, 2, 4.
        GeometryCase{{0, 0, 4, 4}, 1, 1, 0, 0}, GeometryCase{{0, 0, 4, 4}, 1, 3, 2, 2},
        GeometryCase{{0, 0, 4, 4}, 1, 5, 2, 2}, GeometryCase{{0, 0, 4, 4}, 1, 7, 4, 4},
        GeometryCase{{0, 0, 4, 4}, 1, 8, 4, 4},
        // Scaled: ((80 - 0) / 8 * 3 + 0) * 2.5 = 75; ((-16 - 8) / 8 * 3 + 8) * 2.5 = -2.5 -> -2.
        GeometryCase{{0, 8, 80, -16}, 2.5f, 3, 75, -2},
        // In double: 0.1f * 5 = 0.50000000745 -> 1 (in single precision it
        // would be exactly 0.5 and round to 0).
        GeometryCase{{0.1f, 0.1f, 0.1f, 0.1f}, 5, 0, 1, 1},
        // Right to left: station 0 at the start point, on the right.
        GeometryCase{{180, 40, 20, 10}, 1, 0, 180, 40},
        GeometryCase{{180, 40, 20, 10}, 1, 2, 140, 32},
        GeometryCase{{180, 40, 20, 10}, 1, 8, 20, 10},
        // Beyond the 32-bit range: pinned to its ends.
        GeometryCase{{3e9f, -3e9f, 3e9f, -3e9f},
                     1,
                     0,
                     std::numeric_limits<int32_t>::max(),
                     std::numeric_limits<int32_t>::min()}));

TEST(StationGeometryTest, ScaleThatIsNotANumberLiesOutsideThePicture) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(StationColumn({1, 1, 2, 2}, nan, 4), std::numeric_limits<int32_t>::min());
  VectorRaster raster(8, 8, 0);
  const ScanResult result = RunScan({1, 1, 2, 2}, nan, raster, Criterion::ChangeValue, 40);
  EXPECT_EQ(result.Bright[4][0], 765);
  EXPECT_EQ(result.WireY[4], std::numeric_limits<int16_t>::min());
}

// A picture white above row 50 + x / 4 and black from there down.
int32_t SlopedConductor(int32_t x, int32_t y) {
  return y < 50 + x / 4 ? 0xFFFFFF : 0;
}

TEST(ScanLineTest, StationsRunFromTheStartPointAlsoRightToLeft) {
  const FunctionRaster raster(SlopedConductor);
  const ScanLine right_to_left{180, 10, 20, 10};
  const ScanLine left_to_right{20, 10, 180, 10};
  for (Criterion criterion : {Criterion::ChangeValue, Criterion::Darkness}) {
    const ScanResult rtl = RunScan(right_to_left, 1.0f, raster, criterion, 40);
    const ScanResult ltr = RunScan(left_to_right, 1.0f, raster, criterion, 40);
    for (size_t i = 0; i < kStations; ++i) {
      const int32_t x = 180 - 20 * static_cast<int32_t>(i);
      EXPECT_EQ(rtl.StationX[i], x);
      EXPECT_EQ(rtl.WireY[i], 50 + x / 4);
      EXPECT_EQ(rtl.WireY[i], ltr.WireY[kStations - 1 - i]);
    }
  }
}

TEST(ScanLineTest, ClickWithoutDragGivesOneResultAtEveryStation) {
  const FunctionRaster raster(SlopedConductor);
  const ScanLine click{77.25f, 31.5f, 77.25f, 31.5f};
  const ScanResult result = RunScan(click, 1.0f, raster, Criterion::ChangeValue, 40);
  for (size_t i = 0; i < kStations; ++i) {
    EXPECT_EQ(result.StationX[i], 77);
    EXPECT_EQ(result.ScanTop[i], 32);  // 31.5 -> 32
    EXPECT_EQ(result.WireY[i], 50 + 77 / 4);
  }
}

TEST(ScanLineTest, ScaleMapsOverviewUnitsToWorkingPixels) {
  const FunctionRaster raster(SlopedConductor);
  // Overview line (10, 5) -> (90, 5) at 2 pixels per unit: columns 20..180.
  const ScanResult result = RunScan({10, 5, 90, 5}, 2.0f, raster, Criterion::ChangeValue, 40);
  for (size_t i = 0; i < kStations; ++i) {
    const int32_t x = 20 + 20 * static_cast<int32_t>(i);
    EXPECT_EQ(result.StationX[i], x);
    EXPECT_EQ(result.ScanTop[i], 10);
    EXPECT_EQ(result.WireY[i], 50 + x / 4);
  }
}

TEST(ScanRowRangeTest, RowsBeyondSixteenBitsAreClamped) {
  // A picture dark from row 40100 down: the hit row does not fit WireY.
  const FunctionRaster deep([](int32_t, int32_t y) { return y < 40100 ? 0xFFFFFF : 0; });
  const ScanResult hit = RunScan({0, 40000, 80, 40000}, 1.0f, deep, Criterion::ChangeValue, 40);
  EXPECT_EQ(hit.ScanTop[0], 40000);
  EXPECT_EQ(hit.Drop[0][100], 765);
  EXPECT_EQ(hit.WireY[0], 32767);
  // No hit far below: the fallback start row is clamped the same way.
  const FunctionRaster sky([](int32_t, int32_t) { return 0xFFFFFF; });
  EXPECT_EQ(RunScan({0, 50000, 80, 50000}, 1.0f, sky, Criterion::Darkness, 40).WireY[8], 32767);
  EXPECT_EQ(RunScan({0, -50000, 80, -50000}, 1.0f, sky, Criterion::Darkness, 40).WireY[8], -32768);
}

TEST(ScanRowRangeTest, RowsNearTheThirtyTwoBitEndReadWhite) {
  int calls_beyond = 0;
  const FunctionRaster raster([&calls_beyond](int32_t, int32_t y) {
    if (y < 0)
      ++calls_beyond;  // would mean the row wrapped around
    return 0;
  });
  // 2147483600 as a float is 2^31, pinned to the last 32-bit row; the samples
  // below it lie outside every picture and must not wrap to negative rows.
  const ScanResult result =
      RunScan({0, 2147483600.0f, 0, 2147483600.0f}, 1.0f, raster, Criterion::ChangeValue, 40);
  EXPECT_EQ(calls_beyond, 0);
  EXPECT_EQ(result.Bright[0][0], 0);
  EXPECT_EQ(result.Bright[0][201], 765);
}

}  // namespace
}  // namespace sarn
