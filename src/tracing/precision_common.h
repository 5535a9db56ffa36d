#pragma once

// Internal pieces of precision tracing shared by its stages (candidates,
// consensus, centres, fit, credibility): the band, the line widths and their
// box contrasts, the signal-to-noise weighting, the curve's points.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tracing/precision_trace.h"

namespace sarn::precision {

inline constexpr int kAboveLine = 4;                           // rows searched above the drawn line
inline constexpr int kBand = kAboveLine + kPrecisionBandRows;  // rows searched in a column
// Least line contrast (R + G + B) worth a candidate: about one grey level per
// channel over the noise of a single row.
inline constexpr double kMinContrast = 12.0;

// A line of `2 half + 1` core rows, flanked after `gap` rows by `flank` rows
// above and below that measure its background.
struct LineWidth {
  int half, gap, flank;
  double per_core, per_flank;  // 1 / (2 half + 1), 1 / flank
};
// Widths from a 1 px wire to a conductor about 40 px thick in the working
// image (core rows 1, 3, 5, 9, 15, 25, 41).
inline constexpr std::array<LineWidth, 7> kWidths = {{{0, 1, 2, 1.0, 1.0 / 2},
                                                      {1, 1, 3, 1.0 / 3, 1.0 / 3},
                                                      {2, 2, 3, 1.0 / 5, 1.0 / 3},
                                                      {4, 2, 4, 1.0 / 9, 1.0 / 4},
                                                      {7, 2, 5, 1.0 / 15, 1.0 / 5},
                                                      {12, 3, 6, 1.0 / 25, 1.0 / 6},
                                                      {20, 3, 8, 1.0 / 41, 1.0 / 8}}};
// Rows a width reaches either side of its centre row.
constexpr int ReachOf(const LineWidth& w) {
  return w.half + w.gap + w.flank;
}
inline constexpr int kWidestReach = ReachOf(kWidths.back());

using Coefficients = std::array<double, kPrecisionCurveTerms>;

inline double Evaluate(const Coefficients& c, double u) {
  double y = 0;
  for (std::size_t k = c.size(); k-- > 0;)
    y = y * u + c[k];
  return y;
}

inline int Brightness(uint32_t c) {
  return static_cast<int>((c & 0xFFu) + ((c >> 8) & 0xFFu) + ((c >> 16) & 0xFFu));
}

// std::lround without the library call (ten calls per column of the
// centres): rounds half away from zero. |v| < 2^31.
inline int RoundToInt(double v) {
  const auto whole = static_cast<int64_t>(v);              // towards zero
  const double fraction = v - static_cast<double>(whole);  // exact
  return static_cast<int>(whole + (fraction >= 0.5 ? 1 : 0) - (fraction <= -0.5 ? 1 : 0));
}

// A profile's prefix sums: s[k] = b[0] + ... + b[k-1]. Summed over 9
// columns, 35 rows of R + G + B stay below 35 x 9 x 765, well within 32 bits.
struct Sums {
  const int32_t* s;
  int32_t At(int k) const { return s[k]; }
  double MeanOf(int first, int last) const {
    return static_cast<double>(At(last + 1) - At(first)) / (last - first + 1);
  }
};

// Prefix sums of a profile: sums[k] = b[0] + ... + b[k-1].
inline void PrefixSums(const int32_t* b, int n, int32_t* sums) {
  sums[0] = 0;
  for (int j = 0; j < n; ++j)
    sums[j + 1] = sums[j] + b[j];
}

// A conductor's colour with its brightness taken out: the opponent
// components R - G and R + G - 2 B (0xFFRRGGBB pixels) of its middle rows.
// A conductor is bare metal, its lit top and shaded underside lighter and
// darker shades of one colour (grey, or the sky's tint on it); a background
// as bright as the conductor (red petals, yellow grass, a dark blue
// shadow) still differs in colour, where brightness shows no line.
struct ColourKey {
  int red_green = 0, yellow_blue = 0;
};
// The distance of a pixel's colour from the conductor's, brightness left
// out: |(R - G) - key.red_green| + |(R + G - 2 B) - key.yellow_blue|. The
// conductor is a dark line of it against any background of another colour.
inline int ColourDistance(uint32_t c, const ColourKey& key) {
  const int r = static_cast<int>((c >> 16) & 0xFFu), g = static_cast<int>((c >> 8) & 0xFFu),
            b = static_cast<int>(c & 0xFFu);
  return std::abs(r - g - key.red_green) + std::abs(r + g - 2 * b - key.yellow_blue);
}
// Box contrast of a line of width w centred on row r, positive for a line
// darker (dark) or brighter (bright) than both flanks; a step edge gives ~0.
struct Contrast {
  double dark, bright;
};
inline Contrast LineContrast(const int32_t* s, int r, const LineWidth& w) {
  const int a = r - w.half, b = r + w.half + 1;  // core [a, b)
  const double core = static_cast<double>(s[b] - s[a]) * w.per_core;
  const double above = static_cast<double>(s[a - w.gap] - s[a - w.gap - w.flank]) * w.per_flank;
  const double below = static_cast<double>(s[b + w.gap + w.flank] - s[b + w.gap]) * w.per_flank;
  return {std::min(above - core, below - core), std::min(core - above, core - below)};
}

// The traced line's contrast: the strongest of each tone on the rows r - 1,
// r and r + 1, which a curve rounded to whole rows may straddle.
inline Contrast TracedContrast(const int32_t* s, int r, const LineWidth& w) {
  Contrast best{0, 0};
  for (int i = r - 1; i <= r + 1; ++i) {
    const Contrast c = LineContrast(s, i, w);
    best.dark = std::max(best.dark, c.dark);
    best.bright = std::max(best.bright, c.bright);
  }
  return best;
}

// A line response counts when its contrast stands kMinSignalToNoise times
// above the roughness of its background (the spread of the flank rows about
// their means, at least one grey level per channel); its weight grows with the
// square of that ratio up to full weight at kFullSignalToNoise. Foliage behind
// a dark conductor is rough and gives little or no weight; a sky gives full
// weight.
inline constexpr double kMinSignalToNoise = 2.0;
inline constexpr double kFullSignalToNoise = 8.0;
inline constexpr double kRoughnessFloor = 3.0;

// The roughness of a line's background: the spread of its w.flank rows
// above and of those below about their means, from the sums s and sums of
// squares q of each flank's rows,
//   spread^2 = ((f q_above - s_above^2) + (f q_below - s_below^2)) / (f (2 f - 2))
// (as sum (b - mean)^2 = q - s^2 / f for f rows), whole numbers up to the
// division.
inline double FlankSpread(int64_t s_above, int64_t q_above, int64_t s_below, int64_t q_below,
                          const LineWidth& w) {
  const int64_t f = w.flank;
  const int64_t scaled = f * q_above - s_above * s_above + f * q_below - s_below * s_below;
  return std::sqrt(static_cast<double>(scaled) / static_cast<double>(f * (2 * f - 2)));
}

// The first rows of the flanks of a line of width w centred on row r.
inline int FirstAbove(int r, const LineWidth& w) {
  return r - w.half - w.gap - w.flank;
}
inline int FirstBelow(int r, const LineWidth& w) {
  return r + w.half + w.gap + 1;
}

// The signal-to-noise ratio of a line response of contrast `contrast` over a
// background of spread `spread`, in a profile summed over `columns` columns.
inline double SignalToNoise(double contrast, double spread, int columns = 1) {
  return contrast / std::max(spread, kRoughnessFloor * columns);
}

// The weight of a response of the given signal-to-noise ratio, 0 when it does
// not count.
inline double WeightOf(double snr) {
  if (snr < kMinSignalToNoise)
    return 0;
  return std::min(1.0, (snr / kFullSignalToNoise) * (snr / kFullSignalToNoise));
}

// splitmix64: a small deterministic generator, so that a trace is repeatable.

struct Candidate {
  double y;         // row
  double strength;  // weight of the response, 0..1
  double snr;       // its signal-to-noise ratio, which ranks the candidates
  int width;        // index into kWidths
  bool bright;      // brighter than its flanks (else darker)
};

struct CoarseColumn {
  double u;
  int first, count;  // into the candidate list
};

// Solves the normal equations (A^T W A) c = A^T W y for `terms` unknowns by
// Gauss-Jordan elimination with partial pivoting; also returns the inverse of

struct Point {
  double u, y;
  double weight = 1;
};

// The span between the drawn line's ends and the chord frame of the curve:
// columns xa..xb (within the picture), the drawn line in working-image
// pixels, u = (x - centre_x) / half_width.
struct SpanFrame {
  int xa = 0, xb = 0;
  double lx1 = 0, ly1 = 0, lx2 = 0, ly2 = 0;
  double centre_x = 0, half_width = 1;
  double LineRow(double x) const {
    return lx2 == lx1 ? ly1 : ly1 + (ly2 - ly1) * (x - lx1) / (lx2 - lx1);
  }
  double U(double x) const { return (x - centre_x) / half_width; }
};

}  // namespace sarn::precision
