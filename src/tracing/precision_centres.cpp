#include "tracing/precision_centres.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace sarn::precision {

namespace {

struct ColumnCentre {
  bool found = false;
  double row = 0;
  double weight = 0;  // 0..1, from the line's contrast over the background's roughness
};

// Rows summed for one column's centre: at most 2 CentreMargin + 1 = 77,
// rounded up to whole chunks of kSumChunk (the chunks are summed by a loop
// the compiler vectorises).
constexpr int kSumChunk = 8;
constexpr int kMaxWindow = 80;

// Brightness of a block of the picture, read row by row (in address order,
// so that memory streams), for the columns of one stretch of the span; held
// column by column, each followed by kSumChunk spare rows, so that a column's
// rows are summed as whole chunks.
struct Tile {
  int x0 = 0, y0 = 0, width = 0, height = 0, stride = 0;
  std::vector<int32_t> brightness;

  // Columns first..last and rows top..bottom (inclusive), clipped to the picture;
  // each pixel's Brightness, or with `colour` its ColourDistance from it.
  void Load(const ImageView& image, int first, int last, int top, int bottom,
            const ColourKey* colour = nullptr) {
    if (colour != nullptr) {
      LoadMeasure(image, first, last, top, bottom,
                  [key = *colour](uint32_t c) { return ColourDistance(c, key); });
      return;
    }
    LoadMeasure(image, first, last, top, bottom, [](uint32_t c) { return Brightness(c); });
  }
  template <typename Measure>
  void LoadMeasure(const ImageView& image, int first, int last, int top, int bottom,
                   Measure measure) {
    x0 = std::max(0, first);
    y0 = std::max(0, top);
    width = std::max(0, std::min(image.width - 1, last) - x0 + 1);
    height = std::max(0, std::min(image.height - 1, bottom) - y0 + 1);
    stride = height + kSumChunk;
    brightness.resize(static_cast<std::size_t>(width) * stride);
    // Four rows at a time, so that each column receives four adjacent values.
    const auto row = [&](int y) {
      return image.pixels + static_cast<std::size_t>(y0 + y) * image.width + x0;
    };
    int y = 0;
    for (; y + 4 <= height; y += 4) {
      const uint32_t *r0 = row(y), *r1 = row(y + 1), *r2 = row(y + 2), *r3 = row(y + 3);
      for (int x = 0; x < width; ++x) {
        int32_t* out = &brightness[static_cast<std::size_t>(x) * stride + y];
        out[0] = measure(r0[x]);
        out[1] = measure(r1[x]);
        out[2] = measure(r2[x]);
        out[3] = measure(r3[x]);
      }
    }
    for (; y < height; ++y) {
      const uint32_t* r = row(y);
      for (int x = 0; x < width; ++x)
        brightness[static_cast<std::size_t>(x) * stride + y] = measure(r[x]);
    }
  }
  // Rows top..top+n-1 of column x, followed by kSumChunk - 1 more that
  // may be read (their values do not matter); null when they do not all lie
  // in the tile.
  const int32_t* ColumnRows(int x, int top, int n) const {
    if (x < x0 || x >= x0 + width || top < y0 || top + n > y0 + height)
      return nullptr;
    return &brightness[static_cast<std::size_t>(x - x0) * stride + (top - y0)];
  }
};

// sum[k] = the sum of columns[c][k] over c < count, for k below n rounded up
// to whole chunks. Each chunk is summed over all columns in registers before
// it is stored (the compiler vectorises the loop over a chunk).
void SumColumns(const int32_t* const* columns, int count, int n, int32_t* __restrict sum) {
  for (int k0 = 0; k0 < n; k0 += kSumChunk) {
    std::array<int32_t, kSumChunk> chunk{};
    for (int c = 0; c < count; ++c) {
      const int32_t* in = columns[c] + k0;
      for (std::size_t k = 0; k < kSumChunk; ++k)
        chunk[k] += in[k];
    }
    std::copy(chunk.begin(), chunk.end(), sum + k0);
  }
}

// The rows either side of the model that CentreInColumn reads.
constexpr int CentreMargin(const LineWidth& w) {
  const int hw = w.half + w.gap + 1;
  const int flank = std::max(w.flank, 3);
  return kSearchHalfRows + std::max(hw + flank, w.half + w.gap + w.flank) + 3;
}
static_assert((2 * CentreMargin(kWidths.back()) + kSumChunk) / kSumChunk * kSumChunk <= kMaxWindow);

// A conductor of width w with w.half >= kEdgeHalf (5 rows and more), or a
// thinner one before a smooth background (kSmoothSpread), is centred
// midway between its edges rather than on its contrast: a lit top and a
// shaded underside weigh its contrast unevenly, and before a background
// brighter than the shade its underside even counts against it. Before
// rough texture (a tree line) a thin conductor's edges are less sure than
// its contrast's centroid.
constexpr int kEdgeHalf = 2;
// A background is smooth when its rows spread at most this much about
// their means, in R + G + B of one column (sensor noise of a few grey
// levels per channel; foliage and trees spread far more).
constexpr double kSmoothSpread = 4 * kRoughnessFloor;
// The middle found between such a conductor's edges must stand out from
// the background in the conductor's tone by at least this share of the
// line's box contrast (as in SolidMiddle).
constexpr double kBodyShare = kSolidShare;

// The edge of the line of width w about row c (after the centroid) on side
// `side` (-1 the top, +1 the underside): the steepest step of the profile b
// in the line's direction (b falls into a dark line from above and rises
// out of it below; a bright line the other way) between 0.7 half core and
// the reach of the next wider box (the conductor may be up to a quarter
// wider than that box's core) from c, less the background's own `slope`
// per row (a tree line's gradient would shift both edges alike), located
// to a fraction of a row by the centroid of the steps about it. NaN when
// there is none.
constexpr int kEdgeRows = 2;
// Half the thickness of the thickest conductor width w is taken for: the
// next wider box's core, of which the conductor may be a quarter wider.
double OuterReach(const LineWidth& w) {
  const auto wi = static_cast<std::size_t>(&w - kWidths.data());
  return wi + 1 < kWidths.size() ? (2 * kWidths[wi + 1].half + 1) / 2.0 / 0.8 : w.half + 3.0;
}

// The background under a box of width w about row r: linear between the
// means of its two flanks, each placed at its middle row.
struct FlankLine {
  double above, below, slope, at;  // the flanks' means; per row; the upper one's middle row
  double At(double y) const { return above + slope * (y - at); }
};
FlankLine FlankLineOf(const Sums& profile, int r, const LineWidth& w) {
  const int a = FirstAbove(r, w), b = FirstBelow(r, w);
  const double above = profile.MeanOf(a, a + w.flank - 1),
               below = profile.MeanOf(b, b + w.flank - 1);
  return {above, below, (below - above) / (b - a), a + (w.flank - 1) / 2.0};
}

// The centroid of the positive steps within kEdgeRows of the steepest,
// best_r: an anti-aliased or blurred edge spreads its step over
// neighbouring rows in proportion to the coverage, so that the centroid is
// the edge itself. step(r) is the step between rows r and r + 1.
template <typename Step>
double StepCentroid(int n, int best_r, Step step) {
  double sum = 0, moment = 0;
  for (int r = std::max(0, best_r - kEdgeRows); r <= std::min(n - 2, best_r + kEdgeRows); ++r) {
    const double d = std::max(0.0, step(r));
    sum += d;
    moment += d * (r + 0.5);
  }
  return moment / sum;
}

double EdgeOf(const int32_t* b, int n, double c, double sign, double slope, const LineWidth& w,
              int side) {
  const double outer = OuterReach(w);
  const int near = RoundToInt(0.7 * w.half), far = static_cast<int>(std::ceil(outer)) + 1;
  const int rc = RoundToInt(c);
  // step(r) = b(r + 1) - b(r), the step between rows r and r + 1, turned so
  // that the edge sought is positive.
  const double turn = side < 0 ? -sign : sign;
  const auto step = [&](int r) { return turn * (b[r + 1] - b[r] - slope); };
  int best_r = -1;
  double best = 0;
  for (int k = near; k <= far; ++k) {
    const int r = side < 0 ? rc - k : rc + k - 1;
    if (r < 1 || r + 2 >= n)
      continue;
    if (step(r) > best) {
      best = step(r);
      best_r = r;
    }
  }
  if (best_r < 0)
    return std::numeric_limits<double>::quiet_NaN();
  return StepCentroid(n, best_r, step);
}

// A two-toned conductor's lit side: beyond its edge `edge` on side `side`
// (found in the line's tone, where the lit stripe meets the body), the
// steepest step the other way, into the stripe, within kLitStripeShare of
// its core, located as in EdgeOf; when it steps by kLitStepShare of the
// inner edge's step and more, and the stripe stands out of the background
// beyond it by as much, it is the conductor's outer edge there. NaN when
// there is none.
constexpr double kLitStripeShare = 0.6;
constexpr double kLitStepShare = 0.2;
constexpr int kLitBeyondRows = 3;
constexpr double kLitThicknessRows = 2.0;
constexpr double kLitThicknessShare = 0.2;
double LitStripeEdge(const int32_t* b, int n, double edge, double sign, double slope,
                     const LineWidth& w, int side) {
  const double turn = side < 0 ? -sign : sign;
  const auto step = [&](int r) { return turn * (b[r + 1] - b[r] - slope); };
  const int inner =
      side < 0 ? static_cast<int>(std::floor(edge - 0.5)) : static_cast<int>(std::ceil(edge - 0.5));
  if (inner < 1 || inner + 2 >= n)
    return std::numeric_limits<double>::quiet_NaN();
  const double inner_step = step(inner);
  const int far = static_cast<int>(std::ceil(kLitStripeShare * (2 * w.half + 1)));
  int best_r = -1;
  double best = 0;
  for (int k = 2; k <= far; ++k) {
    const int r = inner + side * k;
    if (r < 1 || r + 2 >= n)
      break;
    if (-step(r) > best) {
      best = -step(r);
      best_r = r;
    }
  }
  // Each step with the larger of its neighbours: a soft edge spreads a step
  // over two rows.
  const auto spread_step = [&](int r, double turned) {
    return turned * step(r) +
           std::max(std::max(0.0, turned * step(r - 1)), std::max(0.0, turned * step(r + 1)));
  };
  if (best_r < 2 || best_r + 3 >= n ||
      !(spread_step(best_r, -1) >= kLitStepShare * spread_step(inner, 1)))
    return std::numeric_limits<double>::quiet_NaN();
  // The stripe stands out of the background beyond it, in its own tone, as
  // much: a lit top, not a step of the texture.
  const int stripe_from = std::min(best_r + 1, inner) + (side < 0 ? 0 : 1);
  const int stripe_to = std::max(best_r, inner) + (side < 0 ? 0 : 1);
  const int beyond_from = side < 0 ? best_r - kLitBeyondRows + 1 : best_r + 1;
  if (stripe_to < stripe_from || beyond_from < 0 || beyond_from + kLitBeyondRows > n)
    return std::numeric_limits<double>::quiet_NaN();
  double stripe = 0, beyond = 0;
  for (int r = stripe_from; r <= stripe_to; ++r)
    stripe += b[r];
  for (int r = beyond_from; r < beyond_from + kLitBeyondRows; ++r)
    beyond += b[r];
  if (!(sign * (stripe / (stripe_to - stripe_from + 1) - beyond / kLitBeyondRows) >=
        kLitStepShare * inner_step))
    return std::numeric_limits<double>::quiet_NaN();
  return StepCentroid(n, best_r, [&](int r) { return -step(r); });
}

double EdgeMiddle(const int32_t* b, int n, double c, double sign, double slope, const LineWidth& w,
                  int two_toned_rows = 0) {
  double top = EdgeOf(b, n, c, sign, slope, w, -1), bottom = EdgeOf(b, n, c, sign, slope, w, 1);
  if (two_toned_rows > 0) {
    // The lit side: above a dark conductor's body, below a bright one's.
    // Taken when the conductor so bounded is as thick as along the span:
    // a step of the texture beside a stretch without the stripe is not its
    // edge.
    // Where no edge of the conductor's tone shows on that side (the lit
    // stripe's inner edge nearer the middle than edges are sought), the
    // step into the stripe from the background, of the other tone, is
    // sought in its place.
    double& lit = sign > 0 ? top : bottom;
    const int lit_side = sign > 0 ? -1 : 1;
    const double outer = std::isnan(lit) ? EdgeOf(b, n, c, -sign, slope, w, lit_side)
                                         : LitStripeEdge(b, n, lit, sign, slope, w, lit_side);
    if (std::fabs(std::fabs((sign > 0 ? bottom : top) - outer) - two_toned_rows) <=
        std::max(kLitThicknessRows, kLitThicknessShare * two_toned_rows))
      lit = outer;
  }
  // Edges further apart than the conductor width w is taken for (a thin
  // one's at most 2 rows wider than its core), or nearer than half its
  // core, are not both the conductor's.
  const double widest = w.half >= kEdgeHalf ? 2 * OuterReach(w) + 1 : 2 * w.half + 3;
  if (!(bottom - top >= 0.5 * (2 * w.half + 1) && bottom - top <= widest))
    return std::numeric_limits<double>::quiet_NaN();
  return (top + bottom) / 2;
}

// The conductor's centre in column x near the model's row there: the
// profile of the column summed with those of its `along` neighbours on
// either side, each shifted by the model's change of row so that the
// conductor lines up (texture behind it averages out, the conductor does
// not; the shifts' rounding is antisymmetric about x and cancels); the
// strongest line response of the given width within `search` rows; then the
// centroid of its contrast against the background interpolated between the
// flanks, recentred until it settles. model_rows[j] is the model's row at
// column x + j, for j in -along..along. With `dark_only`, only a line darker
// than its flanks counts (the conductor in a tile of ColourDistance).
ColumnCentre CentreInColumn(const Tile& tile, int x, const double* model_rows, int search,
                            int along, const LineWidth& w, bool dark_only, int two_toned_rows) {
  const int hw = w.half + w.gap + 1;       // half window of the centroid
  const int flank = std::max(w.flank, 3);  // background rows each side
  const int margin = CentreMargin(w);
  const double predicted = model_rows[0];
  const int top = RoundToInt(predicted) - margin;
  const int n = 2 * margin + 1;
  std::array<const int32_t*, 2 * kAlongColumns + 1> columns{};
  int count = 0;
  for (int j = -along; j <= along && count < static_cast<int>(columns.size()); ++j) {
    const int32_t* rows = tile.ColumnRows(x + j, top + RoundToInt(model_rows[j] - predicted), n);
    if (rows != nullptr)
      columns[static_cast<std::size_t>(count++)] = rows;
  }
  if (count == 0)
    return {};
  std::array<int32_t, kMaxWindow> buffer;
  SumColumns(columns.data(), count, n, buffer.data());
  std::array<int32_t, kMaxWindow + 1> prefix;
  PrefixSums(buffer.data(), n, prefix.data());
  const Sums sums{prefix.data()};

  int best_r = -1;
  double best = kMinContrast * count, sign = 1;
  // Rows whose box and flanks lie inside the window (a search wider than
  // kSearchHalfRows, as in colour, is cut to them).
  const int reach = ReachOf(w);
  for (int r = std::max(margin - search, reach); r <= std::min(margin + search, n - 1 - reach);
       ++r) {
    const Contrast c = LineContrast(prefix.data(), r, w);
    if (c.dark > best) {
      best = c.dark;
      best_r = r;
      sign = 1;
    }
    if (!dark_only && c.bright > best) {
      best = c.bright;
      best_r = r;
      sign = -1;
    }
  }
  if (best_r < 0)
    return {};

  int64_t s_above = 0, q_above = 0, s_below = 0, q_below = 0;
  for (int k = 0; k < w.flank; ++k) {
    const int64_t above = buffer[static_cast<std::size_t>(FirstAbove(best_r, w) + k)];
    const int64_t below = buffer[static_cast<std::size_t>(FirstBelow(best_r, w) + k)];
    s_above += above;
    q_above += above * above;
    s_below += below;
    q_below += below * below;
  }
  const double spread = FlankSpread(s_above, q_above, s_below, q_below, w);
  const double weight = WeightOf(SignalToNoise(best, spread, count));
  if (weight <= 0)
    return {};

  // The centroid about rc of the contrast over the core rows rc +- hw,
  //   sum_t t (background(t) - b(rc + t)) / sum_t (background(t) - b(rc + t)),
  // with the background linear through the flanks' means, which lie
  // symmetrically about rc: background(t) = mid + slope t. As sum_t t = 0,
  //   sum_t background = (2 hw + 1) mid,  sum_t t background = slope T2,
  // T2 = sum_t t^2 = hw (hw + 1) (2 hw + 1) / 3; the profile's sums over the
  // core, sum_t b and sum_t t b = sum_r r b(r) - rc sum_t b, are whole
  // numbers from prefix sums of b(r) and r b(r).
  // moments[k] = sum of r b(r) for r < k, below 80 x 79 x 9 x 765 (within 32 bits).
  std::array<int32_t, kMaxWindow + 1> moments;
  moments[0] = 0;
  for (int r = 0; r < n; ++r)
    moments[static_cast<std::size_t>(r) + 1] =
        moments[static_cast<std::size_t>(r)] + r * buffer[static_cast<std::size_t>(r)];
  const int core_rows = 2 * hw + 1;
  const double t2 = hw * (hw + 1) * (2 * hw + 1) / 3.0;
  const double flank_distance = 2 * hw + flank + 1;  // rows between the flanks' centres
  double c = best_r;
  double background_slope = 0;  // per row, between the flanks' means
  bool centroid = true;         // the centroid settled inside the window and the core
  for (int iteration = 0; iteration < 4; ++iteration) {
    const int rc = RoundToInt(c);
    if (rc - hw - flank < 0 || rc + hw + flank >= n) {
      centroid = false;
      break;
    }
    const double above = sums.MeanOf(rc - hw - flank, rc - hw - 1);
    const double below = sums.MeanOf(rc + hw + 1, rc + hw + flank);
    const double mid = (above + below) / 2, slope = (below - above) / flank_distance;
    background_slope = slope;
    const int32_t sum_b = sums.At(rc + hw + 1) - sums.At(rc - hw);
    const int32_t sum_rb =
        moments[static_cast<std::size_t>(rc + hw + 1)] - moments[static_cast<std::size_t>(rc - hw)];
    const double sum_tb = static_cast<double>(sum_rb) - static_cast<double>(rc) * sum_b;
    const double sw = sign * (core_rows * mid - sum_b);
    const double swt = sign * (slope * t2 - sum_tb);
    if (!(sw > 0))
      return {};
    const double next = rc + swt / sw;
    if (next < rc - hw || next > rc + hw) {
      centroid = false;
      break;
    }
    const bool settled = std::fabs(next - c) < 0.01;
    c = next;
    if (settled)
      break;
  }
  const bool thick = w.half >= kEdgeHalf;
  const bool striped = w.half >= kStripedHalf;
  if (!centroid && !striped)
    return {};
  if (centroid && (thick || spread <= kSmoothSpread * count)) {
    // Within the core about the centroid (a thin conductor's within a row
    // of it): an edge of the background beside the conductor (a tree line)
    // is not one of its edges.
    const double middle =
        EdgeMiddle(buffer.data(), n, c, sign, background_slope, w, two_toned_rows);
    if (std::fabs(middle - c) <= (thick ? w.half + 1 : 1))
      c = middle;
  }
  if (striped && (!centroid || std::fabs(top + c - predicted) > search + 1)) {
    // A thick conductor's lit top or shaded underside may pull the
    // centroid half a core off its middle, or out of the window, and the
    // edge of that stripe inside the conductor then stands in for the
    // conductor's own: its edges are sought about the strongest box
    // response instead (a measure of the column independent of the model,
    // whose edges are looked for from 0.7 half core out), with the
    // background's slope between that box's flanks.
    const FlankLine flanks = FlankLineOf(sums, best_r, w);
    const double middle =
        EdgeMiddle(buffer.data(), n, best_r, sign, flanks.slope, w, two_toned_rows);
    if (!(std::fabs(middle - best_r) <= w.half + 1))
      return {};
    // The rows about the middle are the conductor's body, of its tone
    // whatever its stripes; the gap between two conductors taken for one
    // wide line, whose outer edges look alike, is background there.
    const int m = RoundToInt(middle);
    if (sign * (flanks.At(m) - sums.MeanOf(m - 1, m + 1)) < kBodyShare * best)
      return {};
    c = middle;
  }
  const double row = top + c;
  if (std::fabs(row - predicted) > search + 1)
    return {};
  return {true, row, weight};
}

// Up to kProfileColumns columns spread evenly over the span, each with the
// curve's row there (finite, the column inside the picture): each(x, row).
template <typename Each>
void ForEachProfileColumn(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                          Each each) {
  const int columns = std::min(kProfileColumns, frame.xb - frame.xa + 1);
  for (int k = 0; k < columns; ++k) {
    const int x =
        frame.xa + static_cast<int>(std::lround(static_cast<double>(k) * (frame.xb - frame.xa) /
                                                std::max(1, columns - 1)));
    const double row = Evaluate(curve, frame.U(x));
    if (row > -1e9 && row < 1e9 && x >= 0 && x < image.width)
      each(x, row);
  }
}

// Adds column x's rows [top, top + count) to `profile`, each its
// Brightness; rows beyond the top or bottom of the picture read as its edge
// row, so that a conductor near the top of the picture, whose profile
// reaches above it, is not dropped. False, and nothing added, when none of
// the rows meet the picture.
bool AddColumnProfile(const ImageView& image, int x, int top, int count, int64_t* profile) {
  if (top + count <= 0 || top >= image.height)
    return false;
  for (int j = 0; j < count; ++j) {
    const int y = std::clamp(top + j, 0, image.height - 1);
    profile[j] += Brightness(image.pixels[static_cast<std::size_t>(y) * image.width + x]);
  }
  return true;
}

// The mean of `summed` columns' profile (count rows), to whole grey levels,
// written as prefix sums into `sums` (count + 1 entries).
void MeanPrefixSums(const int64_t* profile, int summed, int count, int32_t* sums) {
  std::vector<int32_t> mean(static_cast<std::size_t>(count));
  for (int j = 0; j < count; ++j)
    mean[static_cast<std::size_t>(j)] = static_cast<int32_t>(profile[j] / summed);
  PrefixSums(mean.data(), count, sums);
}

// The mean brightness profile across the curve: at up to kProfileColumns
// columns spread evenly over the span, the rows [row - above, row - above +
// count) about the curve's row (AddColumnProfile), averaged to whole grey
// levels of one column and written as prefix sums into `sums` (count + 1
// entries). `seen(x, row)` is told each column's curve row where it is
// finite. False when no column's rows meet the picture.
template <typename Seen>
bool MeanProfileSums(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                     int above, int count, int32_t* sums, Seen seen) {
  std::vector<int64_t> profile(static_cast<std::size_t>(count), 0);
  int summed = 0;
  ForEachProfileColumn(image, frame, curve, [&](int x, double row) {
    seen(x, row);
    summed += AddColumnProfile(image, x, RoundToInt(row) - above, count, profile.data()) ? 1 : 0;
  });
  if (summed == 0)
    return false;
  MeanPrefixSums(profile.data(), summed, count, sums);
  return true;
}

// Whether the three rows about `row` stand out from the mean of the box's
// flanks (width `w`) in the line's tone by kSolidShare of the box's own
// contrast: a conductor's middle is its body, whatever stripes it carries.
bool SolidAt(const int32_t* sums, int row, const LineWidth& w, bool dark) {
  const Sums profile{sums};
  const Contrast c = LineContrast(sums, row, w);
  const double background = (profile.MeanOf(FirstAbove(row, w), FirstAbove(row, w) + w.flank - 1) +
                             profile.MeanOf(FirstBelow(row, w), FirstBelow(row, w) + w.flank - 1)) /
                            2;
  const double middle = profile.MeanOf(row - 1, row + 1);
  return (dark ? background - middle : middle - background) >=
         kSolidShare * (dark ? c.dark : c.bright);
}

}  // namespace

namespace {

// Rows kept about the model's row for its width: the widest width's reach
// beyond its search, half its core plus kSearchHalfRows either side.
constexpr int kWidthHalf = kWidestReach + kWidths.back().half + kSearchHalfRows + 1;
constexpr int kWidthRows = 2 * kWidthHalf + 1;

// A conductor whose lit top is brighter than the background and whose body
// is darker (or a bright one whose shaded underside is darker than the
// background) answers a box of one tone on one of its two parts only: the
// box of tone `dark` found so far, `narrow`, covers the body or the lit
// stripe, several rows off the conductor's middle, and the part of the
// other tone then reads as a line beside it. The conductor is a wider box
// (kTwoToneFromHalf core rows either side and more, at most kTwoToneWidest
// times the narrow core) that holds the narrow core and
//  - whose flanks agree within kTwoToneFlankShare of the narrow box's
//    contrast (one background either side: not an edge of the texture);
//  - whose core rows depart from the background line between the flanks,
//    either way, in kFilledShare of them, in one run broken by at most
//    kTwoToneCrossingRows rows (where the profile crosses the background's
//    grey between the two tones); a row departs by a quarter of the most
//    any row departs in its own tone and kTwoToneRowFloor of the most in
//    either;
//  - whose mean departure, which sets the conductor's tone, is at least
//    kMinContrast;
//  - whose rows of the other tone all lie on the lit side, above the
//    middle of a dark conductor, below that of a bright one: light falls
//    from above, while a line of the texture may lie beside the conductor
//    on either side.
// Of each width the box of the largest mean departure is taken (it spans
// the conductor), the widest width that has one wins, and the conductor's
// middle is midway between its outermost departing rows: a run that
// reaches the core's end is followed on into the gap rows, but must end
// before the middle of the flank (else it is a stretch of the background
// of the other tone beside the conductor, not a lit stripe). `narrow` when
// no box passes; else two_toned_rows holds the rows of that run.
constexpr int kTwoToneFromHalf = 7;
constexpr int kTwoToneWidest = 5;
constexpr double kTwoToneFlankShare = 0.35;
constexpr double kTwoToneRowFloor = 0.15;
constexpr int kTwoToneCrossingRows = 2;
ConductorWidthAt TwoTonedConductor(const int32_t* sums, const ConductorWidthAt& narrow, bool dark) {
  const Sums profile{sums};
  const LineWidth& nw = kWidths[static_cast<std::size_t>(narrow.width)];
  const int rn = kWidthHalf + narrow.offset;
  const Contrast nc = LineContrast(sums, rn, nw);
  const double narrow_contrast = dark ? nc.dark : nc.bright;
  if (narrow_contrast < kMinContrast)
    return narrow;
  ConductorWidthAt out = narrow;
  std::array<double, 2 * kWidths.back().half + 1> departure{};
  for (std::size_t w = static_cast<std::size_t>(narrow.width) + 1; w < kWidths.size(); ++w) {
    const LineWidth& lw = kWidths[w];
    const int core = 2 * lw.half + 1;
    if (lw.half < kTwoToneFromHalf || core > kTwoToneWidest * (2 * nw.half + 1))
      continue;
    double best_mean = 0;
    int best_first = 0, best_last = -1;
    for (int r = rn + nw.half - lw.half; r <= rn - nw.half + lw.half; ++r) {
      const int a = FirstAbove(r, lw), b = FirstBelow(r, lw);
      if (a < 0 || b + lw.flank > kWidthRows)
        continue;
      const FlankLine flanks = FlankLineOf(profile, r, lw);
      if (std::fabs(flanks.above - flanks.below) > kTwoToneFlankShare * narrow_contrast)
        continue;
      // Row y's departure from the background, either way.
      const auto departure_at = [&](int y) {
        return (profile.At(y + 1) - profile.At(y)) - flanks.At(y);
      };
      double most_dark = 0, most_bright = 0, sum = 0;
      for (int k = 0; k < core; ++k) {
        const double d = departure_at(r - lw.half + k);
        departure[static_cast<std::size_t>(k)] = d;
        most_dark = std::max(most_dark, -d);
        most_bright = std::max(most_bright, d);
        sum += d;
      }
      const double most = std::max(most_dark, most_bright);
      // A row departs by a quarter of the most in its own tone, and
      // kTwoToneRowFloor of the most in either.
      const auto departs = [&](double d) {
        return std::fabs(d) >=
               std::max(kTwoToneRowFloor * most, 0.25 * (d < 0 ? most_dark : most_bright));
      };
      const bool dark_conductor = sum < 0;
      int filled = 0, first = -1, last = -1, crossing = 0;
      bool lit_side = true;
      for (int k = 0; k < core; ++k) {
        const double d = departure[static_cast<std::size_t>(k)];
        if (!departs(d))
          continue;
        ++filled;
        if (first >= 0)
          crossing = std::max(crossing, k - last - 1);
        else
          first = k;
        last = k;
        const bool other_tone = dark_conductor ? d > 0 : d < 0;
        if (other_tone && (dark_conductor ? k > lw.half : k < lw.half))
          lit_side = false;
      }
      const double mean = std::fabs(sum) / core;
      if (filled < kFilledShare * core || crossing > kTwoToneCrossingRows || !lit_side ||
          mean < kMinContrast || mean <= best_mean)
        continue;
      int from = r - lw.half + first, to = r - lw.half + last;
      const int outermost_from = a + lw.flank / 2, outermost_to = b + (lw.flank - 1) / 2;
      while (first == 0 && from > outermost_from && departs(departure_at(from - 1)))
        --from;
      while (last == core - 1 && to < outermost_to && departs(departure_at(to + 1)))
        ++to;
      if (from == outermost_from || to == outermost_to)
        continue;
      best_mean = mean;
      best_first = from;
      best_last = to;
    }
    if (best_last >= best_first)
      out = {static_cast<int>(w), RoundToInt((best_first + best_last) / 2.0) - kWidthHalf,
             best_last - best_first + 1};
  }
  return out;
}

// ConductorWidth from the mean profile `sums` (prefix sums of kWidthRows
// rows, the model's row at kWidthHalf), and the strongest response in the
// line's tone into `shown` (0 when the profile shows no line).
ConductorWidthAt WidthAlong(const int32_t* sums, int fallback, double* shown) {
  constexpr int kHalf = kWidthHalf;
  const ConductorWidthAt none{fallback, 0};
  *shown = 0;
  // Each width's strongest response of each sign whose core holds the
  // model's row, within kSearchHalfRows of that core.
  struct Best {
    double contrast = 0;
    int row = 0;
  };
  std::array<std::array<Best, 2>, kWidths.size()> best{};  // [width][dark, bright]
  for (std::size_t w = 0; w < kWidths.size(); ++w) {
    const int reach = kWidths[w].half + kSearchHalfRows;
    for (int r = kHalf - reach; r <= kHalf + reach; ++r) {
      const Contrast c = LineContrast(sums, r, kWidths[w]);
      if (c.dark > best[w][0].contrast)
        best[w][0] = {c.dark, r};
      if (c.bright > best[w][1].contrast)
        best[w][1] = {c.bright, r};
    }
  }
  // The sign of the line the candidates followed: their width's stronger
  // response at the model's row (between two bright conductors the gap is
  // a dark line, which may answer more strongly than either).
  Contrast at_model{0, 0};
  for (int r = kHalf - kSearchHalfRows; r <= kHalf + kSearchHalfRows; ++r) {
    const Contrast c = LineContrast(sums, r, kWidths[static_cast<std::size_t>(fallback)]);
    at_model.dark = std::max(at_model.dark, c.dark);
    at_model.bright = std::max(at_model.bright, c.bright);
  }
  const std::size_t sign = at_model.dark >= at_model.bright ? 0 : 1;
  std::size_t strongest_width = 0;
  for (std::size_t w = 0; w < kWidths.size(); ++w) {
    if (best[w][sign].contrast > best[strongest_width][sign].contrast)
      strongest_width = w;
  }
  const double strongest = best[strongest_width][sign].contrast;
  *shown = strongest;
  if (strongest < kMinContrast)
    return none;
  const int strongest_row = best[strongest_width][sign].row;
  ConductorWidthAt out = none;
  for (std::size_t w = 0; w < kWidths.size(); ++w) {
    if (best[w][sign].contrast >= kWidthContrastShare * strongest)
      out = {static_cast<int>(w), best[w][sign].row - kHalf};
  }
  // A thin outline of a thick conductor, its whole band diluted by a lit
  // stripe inside it.
  const int thin = kWidths[static_cast<std::size_t>(out.width)].half;
  for (std::size_t w = 0; w < kWidths.size(); ++w) {
    const int apart = std::abs(best[w][sign].row - strongest_row);
    if (kWidths[w].half >= kStripedHalf && 4 * thin <= kWidths[w].half &&
        2 * apart >= kWidths[w].half && apart <= kWidths[w].half &&
        best[w][sign].contrast >= kEnclosingContrastShare * strongest &&
        SolidAt(sums, best[w][sign].row, kWidths[w], sign == 0))
      out = {static_cast<int>(w), best[w][sign].row - kHalf};
  }
  // A lit top brighter and a body darker than the background cancel in the
  // full box's signed contrast, which then favours a narrower box on the
  // body: the rows' departure from the background either way, |b -
  // background| with the background linear between the flanks' means, does
  // not cancel (kFilledShare, kDepartureFromHalf).
  const Sums profile{sums};
  // Each core row's departure from the background line between the flanks.
  const auto departures = [&](int r, const LineWidth& lw, auto&& each) {
    const FlankLine flanks = FlankLineOf(profile, r, lw);
    for (int y = r - lw.half; y <= r + lw.half; ++y)
      each(std::fabs((profile.At(y + 1) - profile.At(y)) - flanks.At(y)));
  };
  // Whether the conductor fills the core: kFilledShare of its rows depart by
  // a quarter of the most any does (a stripe's crossing of the background's
  // grey leaves a row or two; several thin lines, or a blurred thin one,
  // leave most rows near the background).
  const auto filled_core = [&](int r, const LineWidth& lw) {
    double peak = 0;
    departures(r, lw, [&](double d) { peak = std::max(peak, d); });
    int filled = 0;
    departures(r, lw, [&](double d) { filled += d >= 0.25 * peak ? 1 : 0; });
    return filled >= kFilledShare * (2 * lw.half + 1);
  };
  std::array<double, kWidths.size()> departure{};
  std::array<int, kWidths.size()> departure_row{};
  double most = 0;
  for (std::size_t w = 0; w < kWidths.size(); ++w) {
    const LineWidth& lw = kWidths[w];
    const int reach = lw.half + kSearchHalfRows;
    for (int r = kHalf - reach; r <= kHalf + reach; ++r) {
      double sum = 0;
      departures(r, lw, [&](double d) { sum += d; });
      const double d = sum * lw.per_core;
      if (d > departure[w]) {
        departure[w] = d;
        departure_row[w] = r;
      }
    }
    most = std::max(most, departure[w]);
  }
  if (const auto w = static_cast<std::size_t>(out.width) + 1;
      w < kWidths.size() && kWidths[w - 1].half >= kDepartureFromHalf &&
      departure[w] >= kWidthContrastShare * most && departure[w] >= kMinContrast &&
      filled_core(departure_row[w], kWidths[w]) &&
      SolidAt(sums, departure_row[w], kWidths[w], sign == 0))
    out = {static_cast<int>(w), departure_row[w] - kHalf};
  return TwoTonedConductor(sums, out, sign == 0);
}

}  // namespace

ConductorWidthAt ConductorWidth(const ImageView& image, const SpanFrame& frame,
                                const Coefficients& model, int fallback) {
  // One pass over the profile's columns: each stretch's profile, and the
  // whole span's as their sum (the last entry).
  std::array<std::array<int64_t, kWidthRows>, kWidthStretches + 1> profile{};
  std::array<int, kWidthStretches + 1> summed{};
  const int columns = frame.xb - frame.xa + 1;
  ForEachProfileColumn(image, frame, model, [&](int x, double row) {
    const auto stretch = static_cast<std::size_t>(
        std::clamp((x - frame.xa) * kWidthStretches / columns, 0, kWidthStretches - 1));
    if (AddColumnProfile(image, x, RoundToInt(row) - kWidthHalf, kWidthRows,
                         profile[stretch].data()))
      ++summed[stretch];
  });
  for (std::size_t k = 0; k < kWidthStretches; ++k) {
    for (std::size_t j = 0; j < kWidthRows; ++j)
      profile[kWidthStretches][j] += profile[k][j];
    summed[kWidthStretches] += summed[k];
  }
  const auto width_of = [&](std::size_t k, double* shown) {
    *shown = 0;
    if (summed[k] == 0)
      return ConductorWidthAt{fallback, 0};
    std::array<int32_t, kWidthRows + 1> sums{};
    MeanPrefixSums(profile[k].data(), summed[k], kWidthRows, sums.data());
    return WidthAlong(sums.data(), fallback, shown);
  };
  double shown = 0;
  ConductorWidthAt out = width_of(kWidthStretches, &shown);
  // The stretch that shows the conductor kStretchOverWhole times as
  // strongly as the whole span, or at all where the whole shows nothing: a
  // conductor from the sky into a texture as dark as it.
  double most = std::max(kMinContrast, kStretchOverWhole * shown);
  for (std::size_t k = 0; k < kWidthStretches; ++k) {
    const ConductorWidthAt at = width_of(k, &shown);
    if (shown > most) {
      most = shown;
      out = at;
    }
  }
  return out;
}

bool ConductorColour(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                     int width, ColourKey* key) {
  const LineWidth& w = kWidths[static_cast<std::size_t>(width)];
  if (w.half < kColourMinHalf)
    return false;
  const int inner = std::max(1, w.half / 2);
  // Each column's mean opponent components over the middle rows, and the
  // pixels of the box's flanks.
  std::vector<std::array<double, 2>> middle;
  std::vector<uint32_t> beside;
  ForEachProfileColumn(image, frame, curve, [&](int x, double row) {
    const int mid = RoundToInt(row);
    const int reach = ReachOf(w);
    if (mid - reach < 0 || mid + reach >= image.height)
      return;
    const auto at = [&](int y) {
      return image.pixels[static_cast<std::size_t>(y) * image.width + x];
    };
    int rg = 0, yb = 0;
    for (int y = mid - inner; y <= mid + inner; ++y) {
      const uint32_t c = at(y);
      const int r = static_cast<int>((c >> 16) & 0xFFu), g = static_cast<int>((c >> 8) & 0xFFu),
                b = static_cast<int>(c & 0xFFu);
      rg += r - g;
      yb += r + g - 2 * b;
    }
    const double rows = 2 * inner + 1;
    middle.push_back({rg / rows, yb / rows});
    for (int j = 0; j < w.flank; ++j) {
      beside.push_back(at(FirstAbove(mid, w) + j));
      beside.push_back(at(FirstBelow(mid, w) + j));
    }
  });
  if (middle.empty())
    return false;
  double rg = 0, yb = 0;
  for (const auto& m : middle) {
    rg += m[0];
    yb += m[1];
  }
  const auto n = static_cast<double>(middle.size());
  key->red_green = static_cast<int>(std::lround(rg / n));
  key->yellow_blue = static_cast<int>(std::lround(yb / n));
  double own = 0;
  for (const auto& m : middle)
    own += std::fabs(m[0] - key->red_green) + std::fabs(m[1] - key->yellow_blue);
  own /= n;
  double apart = 0;
  for (const uint32_t c : beside)
    apart += ColourDistance(c, *key);
  apart /= static_cast<double>(beside.size());
  return apart >= kColourApart && own <= kColourOwnShare * apart;
}

std::vector<Point> CollectCentres(const ImageView& image, int xa, int xb, int step,
                                  const SpanFrame& frame, const Coefficients& model, int search,
                                  int along, const LineWidth& width, const ColourKey* colour,
                                  int colour_search, int two_toned_rows) {
  if (colour_search < 0)
    colour_search = search;
  std::vector<Point> points;
  points.reserve(static_cast<std::size_t>((xb - xa) / step + 1));
  Tile tile, colour_tile;
  constexpr int kStretch = 64;  // columns per tile
  std::vector<double> rows(static_cast<std::size_t>(kStretch + 2 * along));
  const int margin = CentreMargin(width) + 2;
  for (int first = xa; first <= xb; first += kStretch) {
    const int last = std::min(xb, first + kStretch - 1);
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (int x = first - along; x <= last + along; ++x) {
      const double row = Evaluate(model, (x - frame.centre_x) / frame.half_width);
      rows[static_cast<std::size_t>(x - first + along)] = row;
      low = std::min(low, row);
      high = std::max(high, row);
    }
    if (!(low > -1e9 && high < 1e9))
      continue;
    tile.Load(image, first - along, last + along, static_cast<int>(std::floor(low)) - margin,
              static_cast<int>(std::ceil(high)) + margin);
    bool colour_loaded = false;
    for (int x = first + (step - (first - xa) % step) % step; x <= last; x += step) {
      const double* model_rows = &rows[static_cast<std::size_t>(x - first + along)];
      ColumnCentre c =
          CentreInColumn(tile, x, model_rows, search, along, width, false, two_toned_rows);
      if ((!c.found || c.weight < 1) && colour != nullptr) {
        if (!colour_loaded) {
          colour_tile.Load(image, first - along, last + along,
                           static_cast<int>(std::floor(low)) - margin,
                           static_cast<int>(std::ceil(high)) + margin, colour);
          colour_loaded = true;
        }
        const ColumnCentre by_colour = CentreInColumn(colour_tile, x, model_rows, colour_search,
                                                      along, width, true, two_toned_rows);
        if (by_colour.found && (!c.found || by_colour.weight >= kColourOverBrightness * c.weight))
          c = by_colour;
      }
      if (c.found)
        points.push_back({(x - frame.centre_x) / frame.half_width, c.row, c.weight});
    }
  }
  return points;
}

bool LineAboveConductor(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                        int width, int* above_offset) {
  constexpr int kUp = 140, kDown = kWidestReach + 2;  // rows kept above and below the curve
  constexpr int kRows = kUp + kDown + 1;
  double nearest_line = kUp;  // the least rows from the drawn line down to the curve
  std::array<int32_t, kRows + 1> sums{};
  if (!MeanProfileSums(image, frame, curve, kUp, kRows, sums.data(), [&](int x, double row) {
        nearest_line = std::min(nearest_line, row - frame.LineRow(x));
      }))
    return false;
  const LineWidth& own = kWidths[static_cast<std::size_t>(width)];
  const Contrast conductor = TracedContrast(sums.data(), kUp, own);
  const bool dark = conductor.dark >= conductor.bright;
  const double floor = kLineAboveShare * std::max(conductor.dark, conductor.bright);
  // Rows above the curve that lie below the drawn line, and cores clear of
  // the conductor (half the thickest it may be); a lower flank inside the
  // conductor, of the same tone, only lowers a response.
  const int highest = kUp - static_cast<int>(std::floor(std::min<double>(kUp, nearest_line)));
  const int clear = kUp - static_cast<int>(std::ceil(OuterReach(own)));
  if (floor < kMinContrast)
    return false;
  double strongest = 0;
  for (std::size_t w = 0; w <= static_cast<std::size_t>(width); ++w) {
    const LineWidth& lw = kWidths[w];
    for (int r = std::max(highest + lw.half, ReachOf(lw)); r + lw.half < clear; ++r) {
      const Contrast c = LineContrast(sums.data(), r, lw);
      const double contrast = dark ? c.dark : c.bright;
      if (contrast < floor)
        continue;
      if (above_offset == nullptr)
        return true;
      if (contrast > strongest) {
        strongest = contrast;
        *above_offset = r - kUp;
      }
    }
  }
  return strongest > 0;
}

bool SolidMiddle(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                 int width) {
  constexpr int kSide = kWidestReach + 2;  // rows kept above and below the curve
  constexpr int kRows = 2 * kSide + 1;
  std::array<int32_t, kRows + 1> sums{};
  if (!MeanProfileSums(image, frame, curve, kSide, kRows, sums.data(), [](int, double) {}))
    return false;
  const LineWidth& w = kWidths[static_cast<std::size_t>(width)];
  const Contrast traced = LineContrast(sums.data(), kSide, w);
  return std::max(traced.dark, traced.bright) >= kMinContrast &&
         SolidAt(sums.data(), kSide, w, traced.dark >= traced.bright);
}

bool BetweenOppositeLines(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                          int width, int* upper_offset) {
  // Rows kept above and below the curve: room for the widest box beside the
  // widest core.
  constexpr int kSide = 2 * kWidestReach + 2;
  constexpr int kRows = 2 * kSide + 1;
  double nearest_line = kSide;  // the least rows from the drawn line down to the curve
  std::array<int32_t, kRows + 1> sums{};
  if (!MeanProfileSums(image, frame, curve, kSide, kRows, sums.data(), [&](int x, double row) {
        nearest_line = std::min(nearest_line, row - frame.LineRow(x));
      }))
    return false;
  const Sums profile{sums.data()};
  const LineWidth& own = kWidths[static_cast<std::size_t>(width)];
  const Contrast traced = TracedContrast(sums.data(), kSide, own);
  const bool dark = traced.dark >= traced.bright;
  const double contrast = std::max(traced.dark, traced.bright);
  if (contrast < kMinContrast)
    return false;
  const double floor = std::max(kMinContrast, kGapSideShare * contrast);
  // The opposite tone's strongest box with its core in rows [from, to), and
  // the mean of its upper flank.
  struct Opposite {
    double contrast = 0;
    double beyond = 0;  // mean of its upper flank: the background above it
    int row = 0;        // its middle
  };
  const auto opposite = [&](int from, int to) {
    Opposite strongest;
    for (const LineWidth& lw : kWidths) {
      for (int r = std::max(from + lw.half, ReachOf(lw));
           r + lw.half < to && r + ReachOf(lw) < kRows; ++r) {
        const Contrast c = LineContrast(sums.data(), r, lw);
        const double value = dark ? c.bright : c.dark;
        if (value > strongest.contrast)
          strongest = {value, profile.MeanOf(FirstAbove(r, lw), FirstAbove(r, lw) + lw.flank - 1),
                       r};
      }
    }
    return strongest;
  };
  const int highest = kSide - static_cast<int>(std::floor(std::min<double>(kSide, nearest_line)));
  const Opposite above = opposite(highest, kSide - own.half);
  const Opposite below = opposite(kSide + own.half + 1, kRows);
  // How far the traced core stands out, in its own tone, from the background
  // above the line above it.
  const double core = profile.MeanOf(kSide - own.half, kSide + own.half);
  const double standing = dark ? above.beyond - core : core - above.beyond;
  const bool gap =
      above.contrast >= floor && below.contrast >= floor && standing < kGapSideShare * contrast;
  if (gap && upper_offset != nullptr)
    *upper_offset = above.row - kSide;
  return gap;
}

bool SeenAlong(const ImageView& image, const SpanFrame& frame, const Coefficients& curve, int width,
               int first, int last) {
  const LineWidth& own = kWidths[static_cast<std::size_t>(width)];
  // Rows kept above and below the curve: the boxes centred up to
  // kSeenWindowRows beyond the core, with their flanks (fewer rows beyond
  // the picture's edge, read as its edge row, near the top).
  const int side = own.half + kSeenWindowRows + ReachOf(own);
  const int rows = 2 * side + 1;
  // The strongest response in `tone` (dark: 0, bright: 1) of a box no wider
  // than the conductor centred on rows [from, to].
  const auto strongest = [&](const int32_t* sums, int tone, int from, int to) {
    double best = 0;
    for (std::size_t w = 0; w <= static_cast<std::size_t>(width); ++w) {
      const LineWidth& lw = kWidths[w];
      for (int r = std::max(from, ReachOf(lw)); r <= std::min(to, rows - 1 - ReachOf(lw)); ++r) {
        const Contrast c = LineContrast(sums, r, lw);
        best = std::max(best, tone == 0 ? c.dark : c.bright);
      }
    }
    return best;
  };
  std::vector<int32_t> sums(static_cast<std::size_t>(rows) + 1);
  if (!MeanProfileSums(image, frame, curve, side, rows, sums.data(), [](int, double) {}))
    return false;
  const Contrast traced = TracedContrast(sums.data(), side, own);
  const int tone = traced.dark >= traced.bright ? 0 : 1;
  // Inside the conductor's core: its body, whatever stripes it carries.
  const int inside_from = side - own.half, inside_to = side + own.half;
  const double whole = strongest(sums.data(), tone, inside_from, inside_to);
  SpanFrame part = frame;
  part.xa = std::max(frame.xa, first);
  part.xb = std::min(frame.xb, last);
  if (part.xb < part.xa ||
      !MeanProfileSums(image, part, curve, side, rows, sums.data(), [](int, double) {}))
    return false;
  const double here = strongest(sums.data(), tone, inside_from, inside_to);
  const int window = own.half + kSeenWindowRows;
  const double off = std::max(strongest(sums.data(), tone, side - window, inside_from - 1),
                              strongest(sums.data(), tone, inside_to + 1, side + window));
  return here >= kMinContrast && here >= kSeenShare * whole && kSeenOverTexture * off <= here;
}

}  // namespace sarn::precision
