// The stages of precision tracing on their own: the fit, the a-contrario
// test, the candidates of a thick conductor, its centre, and the choice of
// the nearest of two conductors (and a conductor seen above the one traced,
// or the gap between two taken for one); the consensus's AVX2 loop against
// the baseline's.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tracing/precision_candidates.h"
#include "tracing/precision_centres.h"
#include "tracing/precision_consensus.h"
#include "tracing/precision_credibility.h"
#include "tracing/precision_fit.h"

namespace sarn::precision {
namespace {

constexpr int kWidth = 600, kHeight = 300;

// A grey sky (190) with horizontal conductors (grey 60) of the given
// thickness centred on the given rows, a lit top (grey `lit`) over its
// upper third, and along its top edge, a fifteenth of its thickness, a
// line of grey `edge` (none when negative); anti-aliased (pixel y covers
// [y - 0.5, y + 0.5)). From column `dark_from` on, the background is a
// dark texture's grey (30) instead of the sky.
std::vector<uint32_t> Conductors(const std::vector<double>& rows, double thickness,
                                 double lit = 100, double edge = -1, int dark_from = kWidth) {
  std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    double v[2] = {190, 30};
    for (double c : rows) {
      const double top = c - thickness / 2, bottom = c + thickness / 2;
      const double cover = std::max(0.0, std::min(y + 0.5, bottom) - std::max(y - 0.5, top));
      const bool in_edge = edge >= 0 && y < top + thickness / 15;
      const double body = in_edge ? edge : (y < top + thickness / 3 ? lit : 60);
      for (double& g : v)
        g = g * (1 - cover) + body * cover;
    }
    for (int x = 0; x < kWidth; ++x) {
      const auto g = static_cast<uint32_t>(std::lround(v[x < dark_from ? 0 : 1]));
      pixels[static_cast<size_t>(y) * kWidth + x] = 0xFF000000u | g << 16 | g << 8 | g;
    }
  }
  return pixels;
}

SpanFrame Span(double line_row) {
  SpanFrame s;
  s.xa = 20;
  s.xb = 579;
  s.lx1 = 20;
  s.lx2 = 579;
  s.ly1 = s.ly2 = line_row;
  s.centre_x = 299.5;
  s.half_width = 279.5;
  return s;
}

TEST(PrecisionFit, RobustQuarticIgnoresAFifthOfOutliers) {
  std::vector<Point> points;
  for (int i = 0; i <= 200; ++i) {
    const double u = -1 + i / 100.0;
    const double y = 100 + 5 * u + 20 * u * u;
    points.push_back({u, i % 5 == 0 ? y + 30 : y});
  }
  double sigma = 0;
  const Coefficients c = RobustFit(points, {100, 0, 0, 0, 0}, &sigma);
  EXPECT_NEAR(Evaluate(c, 0), 100, 0.01);
  EXPECT_NEAR(Evaluate(c, 1), 125, 0.01);
  EXPECT_LT(sigma, 0.1);
}

TEST(PrecisionCredibility, BinomialTailAndNumberOfFalseAlarms) {
  // P[Bin(10, 0.5) >= 8] = 56 / 1024.
  EXPECT_NEAR(Log10BinomialTail(10, 8, 0.5), std::log10(56.0 / 1024), 1e-9);
  EXPECT_EQ(Log10BinomialTail(10, 0, 0.3), 0.0);
  // A busy band (6 candidates a column): a curve through a third of 560
  // columns is what texture gives; through nine tenths it is not.
  EXPECT_GT(Log10Nfa(560, 190, 560, 6, 3), 0.0);
  EXPECT_LT(Log10Nfa(560, 500, 560, 6, 3), 0.0);
  // A clean sky (one candidate a column): a quarter suffices.
  EXPECT_LT(Log10Nfa(560, 140, 560, 1, 3), 0.0);
}

TEST(PrecisionStages, ThickConductorIsFoundAtItsCentreAndTheNearestIsChosen) {
  struct Case {
    std::vector<double> rows;
    double thickness;
    double want;       // the centre of the conductor nearest below the line
    double lit = 100;  // its lit top's grey
    double edge = -1;  // its top edge's grey
  };
  const Case cases[] = {{{120}, 24, 120},
                        {{110, 150}, 6, 110},
                        {{100, 160}, 16, 100},
                        {{130}, 36, 130},
                        // Near the picture's top: the profiles reach above it.
                        {{30, 70}, 6, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.thickness);
    const std::vector<uint32_t> pixels = Conductors(c.rows, c.thickness, c.lit, c.edge);
    const ImageView view{pixels.data(), kWidth, kHeight};
    const SpanFrame span = Span(c.rows.front() - c.thickness / 2 - 20);
    const CandidateSet set = FindCandidates(view, span);
    const std::vector<ColumnSlots> slots = SlotsOf(set.cols, set.cands);
    const std::vector<Consensus> curves = ConductorCurves(set, slots, 560);
    ASSERT_FALSE(curves.empty());
    EXPECT_NEAR(Evaluate(curves.front().c, 0), c.want, c.thickness / 2);
    int width = 0;
    Coefficients coarse = RefineConsensus(set.cols, slots, set.cands, curves.front().c, &width);
    // The width measured along the curve spans the conductor, and moves the
    // curve to its middle; the centres lie midway between its edges, which
    // the lit top's weight in the contrast would not give.
    const ConductorWidthAt measured = ConductorWidth(view, span, coarse, width);
    EXPECT_GE(2 * kWidths[static_cast<size_t>(measured.width)].half + 1, 0.6 * c.thickness);
    coarse[0] += measured.offset;
    const std::vector<Point> centres = CollectCentres(
        view, span.xa, span.xb, 7, span, coarse, kSearchHalfRows, kAlongColumns,
        kWidths[static_cast<size_t>(measured.width)], nullptr, -1, measured.two_toned_rows);
    ASSERT_GT(centres.size(), 60u);
    for (const Point& p : centres)
      EXPECT_NEAR(p.y, c.want, 0.5);
    // Traced on the lower conductor, the upper one shows between it and the
    // drawn line; on the upper one nothing does.
    const Coefficients lower{c.rows.back(), 0, 0, 0, 0}, upper{c.want, 0, 0, 0, 0};
    // Where it shows, the line above is the upper conductor, the one to
    // follow instead.
    int above = 0;
    EXPECT_EQ(LineAboveConductor(view, span, lower, measured.width, &above), c.rows.size() > 1);
    if (c.rows.size() > 1) {
      EXPECT_NEAR(c.rows.back() + above, c.rows.front(), 1);
    }
    EXPECT_FALSE(LineAboveConductor(view, span, upper, measured.width));
    EXPECT_FALSE(BetweenOppositeLines(view, span, upper, measured.width));
    EXPECT_TRUE(SolidMiddle(view, span, upper, measured.width));
  }
  // The sky between two thick conductors is a bright line with a dark one
  // on either side: traced there, it is told from a conductor.
  const std::vector<uint32_t> pair = Conductors({100, 135}, 24);
  const ImageView view{pair.data(), kWidth, kHeight};
  EXPECT_TRUE(BetweenOppositeLines(view, Span(68), {117.5, 0, 0, 0, 0}, 3));
  EXPECT_FALSE(BetweenOppositeLines(view, Span(68), {100, 0, 0, 0, 0}, 5));
  // Taken for one wide line, the pair is no solid band: its middle is sky.
  EXPECT_FALSE(SolidMiddle(view, Span(68), {117.5, 0, 0, 0, 0}, 6));
  // A conductor from the sky into a background darker than it: dark over a
  // quarter of the span, bright over the rest, and along the whole span
  // nearly the background's mean. Its width is read where it shows.
  const std::vector<uint32_t> crossing = Conductors({120}, 16, 100, -1, 160);
  const ImageView crossing_view{crossing.data(), kWidth, kHeight};
  const ConductorWidthAt crossing_width =
      ConductorWidth(crossing_view, Span(90), {120, 0, 0, 0, 0}, 0);
  EXPECT_GE(2 * kWidths[static_cast<size_t>(crossing_width.width)].half + 1, 0.6 * 16);
  // A lit top brighter than the sky over a darker body, a third of its
  // thickness: two lines of opposite tone. The curve followed the lit top;
  // the width spans both, and the centres lie midway between the lit top's
  // upper edge and the body's lower one, not in the middle of the body.
  for (const double thickness : {24.0, 20.0}) {
    SCOPED_TRACE(thickness);
    const std::vector<uint32_t> two_toned = Conductors({120}, thickness, 250);
    const ImageView two_toned_view{two_toned.data(), kWidth, kHeight};
    const double lit_row = std::round(120 - thickness / 3);
    const SpanFrame two_toned_span = Span(90);
    const ConductorWidthAt lit_top =
        ConductorWidth(two_toned_view, two_toned_span, {lit_row, 0, 0, 0, 0}, 1);
    EXPECT_GE(2 * kWidths[static_cast<size_t>(lit_top.width)].half + 1, 0.6 * thickness);
    EXPECT_NEAR(lit_row + lit_top.offset, 120, 1);
    const std::vector<Point> centres = CollectCentres(
        two_toned_view, two_toned_span.xa, two_toned_span.xb, 7, two_toned_span,
        {lit_row + lit_top.offset, 0, 0, 0, 0}, kSearchHalfRows, kAlongColumns,
        kWidths[static_cast<size_t>(lit_top.width)], nullptr, -1, lit_top.two_toned_rows);
    ASSERT_GT(centres.size(), 60u);
    for (const Point& p : centres)
      EXPECT_NEAR(p.y, 120, 0.5);
  }
}

// Where the processor runs AVX2 the consensus scores its models four columns
// a step: over a noisy sky with two conductors, with candidates in every
// column, the curves, their support and their summed weights are the same to
// the bit as with the baseline loop.
TEST(PrecisionStages, AvxAndBaselineConsensusAgreeToTheBit) {
  std::vector<uint32_t> pixels = Conductors({110, 150}, 6);
  uint32_t state = 7;
  for (uint32_t& p : pixels) {
    state = state * 1664525u + 1013904223u;
    const auto grey = static_cast<uint32_t>(
        std::clamp(static_cast<int>(p & 0xFF) + static_cast<int>(state >> 26) - 32, 0, 255));
    p = 0xFF000000u | grey * 0x010101u;
  }
  const CandidateSet set = FindCandidates({pixels.data(), kWidth, kHeight}, Span(90));
  const std::vector<ColumnSlots> slots = SlotsOf(set.cols, set.cands);
  const std::vector<Consensus> fast = ConductorCurves(set, slots, 560);
  BaselineOnlyForTest(true);
  const std::vector<Consensus> baseline = ConductorCurves(set, slots, 560);
  BaselineOnlyForTest(false);
  ASSERT_GE(fast.size(), 2u);
  ASSERT_EQ(fast.size(), baseline.size());
  for (std::size_t i = 0; i < fast.size(); ++i) {
    EXPECT_EQ(fast[i].c, baseline[i].c);
    EXPECT_EQ(fast[i].support, baseline[i].support);
    EXPECT_EQ(fast[i].strength, baseline[i].strength);
  }
}

}  // namespace
}  // namespace sarn::precision
