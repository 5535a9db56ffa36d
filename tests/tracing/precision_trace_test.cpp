#include "tracing/precision_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace sarn {
namespace {

constexpr int kWidth = 800, kHeight = 300;

// An exact parabola conductor, 4 px thick, anti-aliased (pixel y covers
// [y - 0.5, y + 0.5)), dark on a light sky; centre row at column x:
double CentreRow(double x) {
  const double u = (x - 400) / 360;
  return 140 + 10 * u + 60 * (1 - u * u);
}

// Sky 200 grey; the conductor (grey 50) in the columns where `shown` holds.
template <typename Shown>
std::vector<uint32_t> Picture(Shown shown) {
  std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      double cover = 0;
      if (shown(x)) {
        const double c = CentreRow(x);
        cover = std::max(0.0, std::min(y + 0.5, c + 2) - std::max(y - 0.5, c - 2));
      }
      const auto grey = static_cast<uint32_t>(std::lround(200 * (1 - cover) + 50 * cover));
      pixels[static_cast<size_t>(y) * kWidth + x] = 0xFF000000u | grey << 16 | grey << 8 | grey;
    }
  }
  return pixels;
}

// From column 50 to 750, 25 rows above the conductor's centre at both ends.
ScanLine LineAbove(bool right_to_left) {
  ScanLine line{50, static_cast<float>(CentreRow(50) - 25), 750,
                static_cast<float>(CentreRow(750) - 25)};
  if (right_to_left) {
    std::swap(line.X1, line.X2);
    std::swap(line.Y1, line.Y2);
  }
  return line;
}

TEST(PrecisionTrace, FindsTheCentreAtEveryStationEitherWay) {
  const std::vector<uint32_t> pixels = Picture([](int) { return true; });
  const ImageView view{pixels.data(), kWidth, kHeight};
  for (bool right_to_left : {false, true}) {
    SCOPED_TRACE(right_to_left ? "right to left" : "left to right");
    const ScanLine line = LineAbove(right_to_left);
    const PrecisionTrace trace = TracePrecisely(view, line, 1.0f);
    ASSERT_TRUE(trace.credible) << trace.reason;
    for (int i = 0; i < kStations; ++i) {
      const auto s = static_cast<size_t>(i);
      EXPECT_EQ(trace.StationX[s], StationColumn(line, 1.0f, i));
      EXPECT_NEAR(trace.StationRows[s], CentreRow(trace.StationX[s]), 0.02) << i;
    }
    EXPECT_NEAR(trace.sag_px,
                trace.StationRows[4] - (trace.StationRows[0] + trace.StationRows[8]) / 2, 1e-4);
    EXPECT_GT(trace.columns_used, 0.95f);
    EXPECT_LT(trace.residual_px, 0.05f);
    EXPECT_LT(trace.sag_uncertainty_px, 0.05f);
    ASSERT_FALSE(trace.polyline.empty());
    EXPECT_NEAR(trace.polyline.front().y, CentreRow(trace.polyline.front().x), 0.05);
    // The centres moved (as a lens's correction moves them) and fitted again
    // follow the move: the refitted curve is the moved conductor.
    const auto bend = [](double x) { return 1e-4 * (x - 400) * (x - 400); };
    const std::optional<PrecisionCurve> moved = RefitMovedCentres(
        trace,
        [&bend](TracedCentre p) {
          p.y += bend(p.x);
          return p;
        },
        400, 350);
    ASSERT_TRUE(moved);
    for (double x : {60.0, 225.0, 400.0, 575.0, 740.0})
      EXPECT_NEAR(moved->RowAt(x), CentreRow(x) + bend(x), 0.03) << x;
  }
}

TEST(PrecisionTrace, SaysWhyWhenNoCredibleCurveExists) {
  struct Case {
    bool (*shown)(int x);  // columns holding the conductor
    ScanLine line;
    const char* reason_starts;
  };
  const Case cases[] = {
      {[](int) { return false; }, LineAbove(false), "No conductor was found"},
      // About a quarter of the span, spread over it.
      {[](int x) { return x < 120 || (x >= 390 && x < 410) || x >= 680; }, LineAbove(false),
       "Only "},
      // Missing about the middle station: the curve carried over the gap from
      // either side is not taken for the conductor, which is not seen there.
      {[](int x) { return x < 340 || x >= 460; }, LineAbove(false),
       "The conductor was not found near station 4"},
      {[](int) { return true; }, ScanLine{400, 50, 410, 50}, "The drawn line is too short"},
      {[](int) { return true; }, ScanLine{900, 50, 1200, 50}, "The drawn line is too short"},
  };
  for (const Case& c : cases) {
    const std::vector<uint32_t> pixels = Picture(c.shown);
    const PrecisionTrace trace = TracePrecisely({pixels.data(), kWidth, kHeight}, c.line, 1.0f);
    EXPECT_FALSE(trace.credible);
    EXPECT_EQ(trace.reason.rfind(c.reason_starts, 0), 0u) << trace.reason;
  }
  EXPECT_FALSE(TracePrecisely({}, LineAbove(false), 1.0f).credible);
}

}  // namespace
}  // namespace sarn
