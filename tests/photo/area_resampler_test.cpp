// Raster layout and the plain area-average resampling.

#include "photo/area_resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "photo/raster.h"

namespace sarn {
namespace {

uint32_t Grey(int v) {
  const auto u = static_cast<uint32_t>(v);
  return 0xFF000000u | (u << 16) | (u << 8) | u;
}

int Red(uint32_t p) {
  return static_cast<int>((p >> 16) & 0xFF);
}

TEST(Raster, PointAnswersBgrAndMinusOneOutside) {
  Raster r = MakeRaster(2, 2, 0xFF112233u);
  r.pixels[3] = 0xFFA0B0C0u;
  EXPECT_EQ(r.Point(0, 0), 0x00332211);
  EXPECT_EQ(r.Point(1, 1), 0x00C0B0A0);
  EXPECT_EQ(r.Point(-1, 0), -1);
  EXPECT_EQ(r.Point(2, 0), -1);
  EXPECT_EQ(r.Point(0, 2), -1);
}

TEST(ResampleArea, HalvingAveragesBlocksOfFour) {
  Raster src = MakeRaster(4, 2);
  const int v[8] = {0, 40, 100, 100, 80, 120, 200, 0};
  for (int i = 0; i < 8; ++i)
    src.pixels[i] = Grey(v[i]);
  const Raster out = ResampleArea(src, 2, 1);
  ASSERT_EQ(out.width, 2);
  ASSERT_EQ(out.height, 1);
  EXPECT_EQ(Red(out.pixels[0]), 60);   // (0 + 40 + 80 + 120) / 4
  EXPECT_EQ(Red(out.pixels[1]), 100);  // (100 + 100 + 200 + 0) / 4
  EXPECT_EQ(out.pixels[0] >> 24, 0xFFu);
}

TEST(ResampleArea, FractionalFootprintsWeighPartialPixels) {
  // Three columns 0, 90, 180 into two: [0, 1.5) and [1.5, 3).
  Raster src = MakeRaster(3, 1);
  src.pixels = {Grey(0), Grey(90), Grey(180)};
  const Raster out = ResampleArea(src, 2, 1);
  EXPECT_EQ(Red(out.pixels[0]), 30);   // (0 * 1 + 90 * 0.5) / 1.5
  EXPECT_EQ(Red(out.pixels[1]), 150);  // (90 * 0.5 + 180 * 1) / 1.5
}

TEST(ResampleArea, ChannelsStaySeparate) {
  Raster src = MakeRaster(2, 1);
  src.pixels = {0xFFFF0000u, 0xFF0000FFu};
  const Raster out = ResampleArea(src, 1, 1);
  EXPECT_EQ(out.pixels[0], 0xFF800080u);  // 127.5 rounds up
}

TEST(ResampleArea, SameSizeIsACopy) {
  Raster src = MakeRaster(5, 3);
  for (size_t i = 0; i < src.pixels.size(); ++i)
    src.pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x010305);
  const Raster out = ResampleArea(src, 5, 3);
  EXPECT_EQ(out.pixels, src.pixels);
}

TEST(ResampleArea, UpscalingRepeatsPixels) {
  Raster src = MakeRaster(2, 1);
  src.pixels = {Grey(10), Grey(200)};
  const Raster out = ResampleArea(src, 4, 2);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(Red(out.pixels[y * 4 + 0]), 10);
    EXPECT_EQ(Red(out.pixels[y * 4 + 1]), 10);
    EXPECT_EQ(Red(out.pixels[y * 4 + 2]), 200);
    EXPECT_EQ(Red(out.pixels[y * 4 + 3]), 200);
  }
}

// Random colours against the exact area average computed in double
// precision: the fixed-point weights and the rounding between the passes stay
// within 1.5 levels. Ratios with two (7/6), two or three (1.21), three (1.6, as 8000 -> 5000; the
// SSE2 and AVX2 loops, which must give the same bytes), four (and rows of four, 2.65) and many taps
// per pixel; and a large source, made in two halves.
TEST(ResampleArea, WithinOneAndAHalfLevelsOfTheExactAverage) {
  uint32_t state = 12345;
  auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  Raster src = MakeRaster(70, 45);
  for (uint32_t& p : src.pixels)
    p = 0xFF000000u | (next() & 0xFFFFFFu);
  for (auto [w, h] : {std::pair{60, 38}, {58, 37}, {44, 28}, {30, 20}, {26, 17}, {9, 7}}) {
    SCOPED_TRACE(w);
    AreaResampler::BaselineOnlyForTest(true);
    const Raster baseline = ResampleArea(src, w, h);
    AreaResampler::BaselineOnlyForTest(false);
    const Raster out = ResampleArea(src, w, h);
    EXPECT_EQ(out.pixels, baseline.pixels);
    const double fx = 70.0 / w, fy = 45.0 / h;
    double worst = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        for (int shift : {0, 8, 16}) {
          double sum = 0;
          for (int sy = 0; sy < 45; ++sy) {
            const double oy =
                std::max(0.0, std::min(sy + 1.0, (y + 1) * fy) - std::max(1.0 * sy, y * fy));
            for (int sx = 0; oy > 0 && sx < 70; ++sx) {
              const double ox =
                  std::max(0.0, std::min(sx + 1.0, (x + 1) * fx) - std::max(1.0 * sx, x * fx));
              sum += ox * oy * ((src.pixels[sy * 70 + sx] >> shift) & 0xFF);
            }
          }
          const double exact = sum / (fx * fy);
          worst = std::max(worst, std::abs(((out.pixels[y * w + x] >> shift) & 0xFF) - exact));
        }
      }
    }
    EXPECT_LE(worst, 1.5);
  }
  // From a million source pixels on, the destination's rows are made in two
  // halves at once (on two processors): the same bytes as one resampler's.
  Raster large = MakeRaster(1100, 1000);
  for (uint32_t& p : large.pixels)
    p = 0xFF000000u | (next() & 0xFFFFFFu);
  // A band of it, as a cut photo's working image.
  const double fx = 1100.0 / 420, fy = 2.6, top = -40.25;
  Raster whole = MakeRaster(420, 300);
  AreaResampler one(1100, 1000, fx, fy, top, &whole);
  for (int r = one.FirstSourceRow(); r < one.EndSourceRow(); ++r)
    one.PushRow(large.pixels.data() + static_cast<size_t>(r) * 1100, true);
  one.Finish();
  EXPECT_EQ(ResampleAreaScaled(large, 420, 300, fx, fy, top).pixels, whole.pixels);
}

TEST(AreaResampler, CutTakesTheMiddleRowsWithoutBlending) {
  // 8 rows valued 10 * row, drawn from row -2: destination rows 0..3 are
  // source rows 2..5 exactly.
  Raster src = MakeRaster(1, 8);
  for (int r = 0; r < 8; ++r)
    src.pixels[r] = Grey(10 * r);
  Raster dest = MakeRaster(1, 4);
  AreaResampler resampler(1, 8, 1.0, 1.0, -2.0, &dest);
  EXPECT_EQ(resampler.FirstSourceRow(), 2);
  EXPECT_EQ(resampler.EndSourceRow(), 6);
  for (int r = resampler.FirstSourceRow(); r < resampler.EndSourceRow(); ++r)
    resampler.PushRow(&src.pixels[r]);
  resampler.Finish();
  for (int y = 0; y < 4; ++y)
    EXPECT_EQ(Red(dest.pixels[y]), 10 * (y + 2));
}

TEST(AreaResampler, ScaledCutNeedsOnlyTheRowsItCovers) {
  // 100 source rows into 25 destination rows of 2 source rows each, from
  // destination row -12: source rows 24..73.
  Raster dest = MakeRaster(3, 25);
  AreaResampler resampler(6, 100, 2.0, 2.0, -12.0, &dest);
  EXPECT_EQ(resampler.FirstSourceRow(), 24);
  EXPECT_EQ(resampler.EndSourceRow(), 74);
}

TEST(AreaResampler, SourceEndingEarlyRepeatsTheLastRowMade) {
  Raster dest = MakeRaster(2, 4);
  AreaResampler resampler(2, 4, 1.0, 1.0, 0.0, &dest);
  const uint32_t row0[2] = {Grey(50), Grey(60)};
  const uint32_t row1[2] = {Grey(70), Grey(80)};
  resampler.PushRow(row0);
  resampler.PushRow(row1);
  resampler.Finish();
  EXPECT_EQ(Red(dest.pixels[4]), 70);
  EXPECT_EQ(Red(dest.pixels[7]), 80);
}

TEST(AreaResampler, NothingPushedGivesMidGrey) {
  Raster dest = MakeRaster(2, 2);
  AreaResampler resampler(4, 4, 2.0, 2.0, 0.0, &dest);
  resampler.Finish();
  EXPECT_EQ(dest.pixels[3], 0xFF808080u);
}

// The source stored as EXIF orientation `orientation` says the upright `src`
// was turned: stored pixel (sx, sy) shows at upright (u, v).
Raster Stored(const Raster& src, int orientation) {
  const bool swap = orientation >= 5;
  Raster out = MakeRaster(swap ? src.height : src.width, swap ? src.width : src.height);
  const int sw = out.width, sh = out.height;
  for (int sy = 0; sy < sh; ++sy) {
    for (int sx = 0; sx < sw; ++sx) {
      int u = sx, v = sy;
      switch (orientation) {
        case 2:
          u = sw - 1 - sx;
          break;
        case 3:
          u = sw - 1 - sx;
          v = sh - 1 - sy;
          break;
        case 4:
          v = sh - 1 - sy;
          break;
        case 5:
          u = sy;
          v = sx;
          break;
        case 6:
          u = sh - 1 - sy;
          v = sx;
          break;
        case 7:
          u = sh - 1 - sy;
          v = sw - 1 - sx;
          break;
        case 8:
          u = sy;
          v = sw - 1 - sx;
          break;
        default:
          break;
      }
      out.pixels[static_cast<size_t>(sy) * sw + sx] =
          src.pixels[static_cast<size_t>(v) * src.width + u];
    }
  }
  return out;
}

// Resamples `stored` (the upright source turned by `orientation`) into
// width x height, pushing its rows top to bottom as the decoder does; rows
// from `end_early` on are never pushed (a broken file).
Raster ResampleStored(const Raster& stored, int orientation, int width, int height, double f,
                      double top, int end_early = 1 << 30) {
  const bool swap = orientation >= 5;
  // Transparent black, so that a pixel never written shows.
  Raster dest = MakeRaster(width, height, 0u);
  AreaResampler resampler(swap ? stored.height : stored.width, swap ? stored.width : stored.height,
                          f, f, top, &dest, orientation);
  EXPECT_EQ(resampler.StoredWidth(), stored.width);
  const int end = std::min(resampler.EndSourceRow(), end_early);
  for (int r = resampler.FirstSourceRow(); r < end; ++r)
    resampler.PushRow(&stored.pixels[static_cast<size_t>(r) * stored.width]);
  resampler.Finish();
  return dest;
}

// Every orientation gives the upright source's result to the bit, for the
// working images the loading makes (whole, cut, scaled, scaled and cut with
// a half-row top, 2 to 4 taps, enlarged) and for a source that ends early,
// with the AVX2 loops where the processor has them and with the baseline's
// (the turned columns are written in 8 x 8 or 4 x 4 tiles).
TEST(AreaResampler, EveryOrientationGivesTheUprightResultToTheBit) {
  Raster src = MakeRaster(37, 29);
  uint32_t seed = 12345;
  for (uint32_t& p : src.pixels) {
    seed = seed * 1103515245u + 12345u;
    p = 0xFF000000u | (seed >> 8);
  }
  const struct {
    const char* name;
    int width, height;
    double f, top;
    int end_early;
  } cases[] = {
      {"whole", 37, 29, 1.0, 0.0, 1 << 30},        {"cut", 37, 14, 1.0, -7.0, 1 << 30},
      {"scaled 1.6", 23, 18, 1.6, 0.0, 1 << 30},   {"scaled 1.3, cut", 28, 11, 1.3, -5.0, 1 << 30},
      {"scaled 2.6", 14, 11, 2.6, 0.0, 1 << 30},   {"scaled 3.3", 11, 8, 3.3, 0.0, 1 << 30},
      {"enlarged", 50, 40, 0.74, 0.0, 1 << 30},    {"ends early", 37, 29, 1.0, 0.0, 11},
      {"scaled, ends early", 23, 18, 1.6, 0.0, 9},
  };
  for (const bool baseline : {false, true}) {
    AreaResampler::BaselineOnlyForTest(baseline);
    for (const auto& c : cases) {
      SCOPED_TRACE(baseline ? "baseline loops" : "the processor's loops");
      const Raster upright = ResampleStored(src, 1, c.width, c.height, c.f, c.top, c.end_early);
      for (int orientation = 2; orientation <= 8; ++orientation) {
        const Raster turned = ResampleStored(Stored(src, orientation), orientation, c.width,
                                             c.height, c.f, c.top, c.end_early);
        if (c.end_early < (1 << 30)) {
          // Every pixel written (opaque), also the columns made before the
          // source ended when stored rows are upright columns.
          EXPECT_TRUE(std::all_of(turned.pixels.begin(), turned.pixels.end(),
                                  [](uint32_t p) { return (p >> 24) == 0xFFu; }))
              << c.name << ", orientation " << orientation;
          // Stored rows are upright rows (from the top) for orientation 2 only.
          if (orientation == 2) {
            EXPECT_EQ(turned.pixels, upright.pixels) << c.name << ", orientation 2";
          }
          continue;
        }
        EXPECT_EQ(turned.pixels, upright.pixels) << c.name << ", orientation " << orientation;
      }
    }
  }
  AreaResampler::BaselineOnlyForTest(false);
}

}  // namespace
}  // namespace sarn
