#include "tracing/precision_trace.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <optional>

namespace sarn {

namespace {

constexpr int kAboveLine = 4;                           // rows searched above the drawn line
constexpr int kBand = kAboveLine + kPrecisionBandRows;  // rows searched in a column
constexpr int kCoarseColumns = 600;                     // columns that give consensus candidates
constexpr int kCandidatesPerSign = 3;  // strongest line responses kept per sign and column
// Least line contrast (R + G + B) worth a candidate: about one grey level per
// channel over the noise of a single row.
constexpr double kMinContrast = 12.0;
constexpr int kRansacRounds = 200;
constexpr double kConsensusTolerancePx = 3.0;
// A second curve above the best one is taken as the upper conductor when it
// has this share of the best one's columns and weight. Random foliage or
// cloud texture lines up with a parabola in at most about a quarter of the
// columns.
constexpr double kUpperSupportShare = 0.6;
constexpr int kSearchHalfRows = 3;  // rows searched either side of the consensus curve
// The first pass, which only steadies the curve for the second, looks at
// every kFirstPassStep-th column.
constexpr int kFirstPassStep = 3;
// Each pass sums a column's profile with this many neighbours on either
// side, aligned along the curve.
constexpr int kAlongColumns = 4;
constexpr int kColumnsPerSample = 8;  // neighbouring columns counted as one independent sample
constexpr int kMinColumns = 32;       // shortest span traced
constexpr int kPolylineSegments = 128;

// A line of `2 half + 1` core rows, flanked after `gap` rows by `flank` rows
// above and below that measure its background.
struct LineWidth {
  int half, gap, flank;
  double per_core, per_flank;  // 1 / (2 half + 1), 1 / flank
};
constexpr std::array<LineWidth, 4> kWidths = {{{0, 1, 2, 1.0, 1.0 / 2},
                                               {1, 1, 3, 1.0 / 3, 1.0 / 3},
                                               {2, 2, 3, 1.0 / 5, 1.0 / 3},
                                               {4, 2, 4, 1.0 / 9, 1.0 / 4}}};
constexpr int kWidestReach = 4 + 2 + 4;

using Coefficients = std::array<double, kPrecisionCurveTerms>;

double Evaluate(const Coefficients& c, double u) {
  double y = 0;
  for (std::size_t k = c.size(); k-- > 0;)
    y = y * u + c[k];
  return y;
}

int Brightness(uint32_t c) {
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
void PrefixSums(const int32_t* b, int n, int32_t* sums) {
  sums[0] = 0;
  for (int j = 0; j < n; ++j)
    sums[j + 1] = sums[j] + b[j];
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

// A line response counts when its contrast stands kMinSignalToNoise times
// above the roughness of its background (the spread of the flank rows about
// their means, at least one grey level per channel); its weight grows with the
// square of that ratio up to full weight at kFullSignalToNoise. Foliage behind
// a dark conductor is rough and gives little or no weight; a sky gives full
// weight.
constexpr double kMinSignalToNoise = 2.0;
constexpr double kFullSignalToNoise = 8.0;
constexpr double kRoughnessFloor = 3.0;

// The roughness of a line's background: the spread of its w.flank rows
// above and of those below about their means, from the sums s and sums of
// squares q of each flank's rows,
//   spread^2 = ((f q_above - s_above^2) + (f q_below - s_below^2)) / (f (2 f - 2))
// (as sum (b - mean)^2 = q - s^2 / f for f rows), whole numbers up to the
// division.
double FlankSpread(int64_t s_above, int64_t q_above, int64_t s_below, int64_t q_below,
                   const LineWidth& w) {
  const int64_t f = w.flank;
  const int64_t scaled = f * q_above - s_above * s_above + f * q_below - s_below * s_below;
  return std::sqrt(static_cast<double>(scaled) / static_cast<double>(f * (2 * f - 2)));
}

// The first rows of the flanks of a line of width w centred on row r.
int FirstAbove(int r, const LineWidth& w) {
  return r - w.half - w.gap - w.flank;
}
int FirstBelow(int r, const LineWidth& w) {
  return r + w.half + w.gap + 1;
}

// The signal-to-noise ratio of a line response of contrast `contrast` over a
// background of spread `spread`, in a profile summed over `columns` columns.
double SignalToNoise(double contrast, double spread, int columns = 1) {
  return contrast / std::max(spread, kRoughnessFloor * columns);
}

// The weight of a response of the given signal-to-noise ratio, 0 when it does
// not count.
double WeightOf(double snr) {
  if (snr < kMinSignalToNoise)
    return 0;
  return std::min(1.0, (snr / kFullSignalToNoise) * (snr / kFullSignalToNoise));
}

// splitmix64: a small deterministic generator, so that a trace is repeatable.
class Random {
 public:
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t state_ = 0x5A4E;
};

struct Candidate {
  double y;         // row
  double strength;  // weight of the response, 0..1
  double snr;       // its signal-to-noise ratio, which ranks the candidates
  int width;        // index into kWidths
};

struct CoarseColumn {
  double u;
  int first, count;  // into the candidate list
};

// Solves the normal equations (A^T W A) c = A^T W y for `terms` unknowns by
// Gauss-Jordan elimination with partial pivoting; also returns the inverse of
// A^T W A (for the covariance). False when singular.
bool SolveNormal(
    std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms> m, Coefficients rhs,
    int terms, Coefficients* solution,
    std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms>* inverse) {
  std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms> inv{};
  for (int i = 0; i < terms; ++i)
    inv[i][i] = 1;
  for (int col = 0; col < terms; ++col) {
    int pivot = col;
    for (int r = col + 1; r < terms; ++r) {
      if (std::fabs(m[r][col]) > std::fabs(m[pivot][col]))
        pivot = r;
    }
    if (!(std::fabs(m[pivot][col]) > 1e-12))
      return false;
    std::swap(m[col], m[pivot]);
    std::swap(inv[col], inv[pivot]);
    std::swap(rhs[col], rhs[pivot]);
    const double d = m[col][col];
    for (int k = 0; k < terms; ++k) {
      m[col][k] /= d;
      inv[col][k] /= d;
    }
    rhs[col] /= d;
    for (int r = 0; r < terms; ++r) {
      if (r == col || m[r][col] == 0.0)
        continue;
      const double f = m[r][col];
      for (int k = 0; k < terms; ++k) {
        m[r][k] -= f * m[col][k];
        inv[r][k] -= f * inv[col][k];
      }
      rhs[r] -= f * rhs[col];
    }
  }
  Coefficients c{};
  for (int i = 0; i < terms; ++i)
    c[i] = rhs[i];
  *solution = c;
  if (inverse != nullptr)
    *inverse = inv;
  return true;
}

struct Point {
  double u, y;
  double weight = 1;
};

// Weighted least squares of a polynomial with `terms` coefficients, from the
// normal equations (A^T W A)[a][b] = sum w u^(a+b), (A^T W y)[a] = sum w y u^a:
// nine power sums per point for a quartic.
bool FitPolynomial(
    const std::vector<Point>& points, const std::vector<double>& weights, int terms,
    Coefficients* c,
    std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms>* inverse = nullptr) {
  constexpr int kPowers = 2 * kPrecisionCurveTerms - 1;
  std::array<double, kPowers> power_sums{};
  Coefficients rhs{};
  int used = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double w = points[i].weight * (weights.empty() ? 1.0 : weights[i]);
    if (w <= 0)
      continue;
    ++used;
    const double u = points[i].u, y = points[i].y;
    double p = w;  // w u^k
    for (std::size_t k = 0; k < kPowers; ++k) {
      power_sums[k] += p;
      if (k < rhs.size())
        rhs[k] += p * y;
      p *= u;
    }
  }
  if (used < terms)
    return false;
  std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms> m{};
  for (int a = 0; a < terms; ++a) {
    for (int b = 0; b < terms; ++b)
      m[a][b] = power_sums[static_cast<std::size_t>(a + b)];
  }
  return SolveNormal(m, rhs, terms, c, inverse);
}

// Coarse columns whose candidates are formed together. Their profiles are
// held row by row with one lane per column, so that one loop over the lanes
// forms a box contrast for all of them (the compiler vectorises it: the lane
// count is a compile-time constant).
constexpr int kLanes = 32;

// The box contrasts in whole numbers on one scale for all widths: the
// difference of means of width w is (flank sum x core rows - core sum x
// flank rows) / (core rows x flank rows); times kContrastScale = 180, the
// least common multiple of core rows x flank rows over the widths (2, 9, 15,
// 36), it is whole. At most 765 x 180 = 137700.
constexpr int32_t kContrastScale = 180;

// The strongest contrast over the widths and the width giving it are kept as
// one key, 4 x scaled contrast + (3 - width index): the larger key has the
// larger contrast, or the narrower width of equal contrasts, so that keeping
// the strongest is a plain maximum. A key of kNoContrast is contrast 0 at the
// narrowest width (nothing found yet).
constexpr int32_t kNoContrast = 3;
static_assert(kWidths.size() == 4);
int32_t ContrastOfKey(int32_t key) {
  return key >> 2;
}
int WidthOfKey(int32_t key) {
  return 3 - (key & 3);
}

// Width W's contrasts of both signs at one row, for all lanes, kept in
// dark/bright where they are the strongest so far. The arguments point to
// rows of prefix sums (core rows [lo, hi), flanks [above0, above1) and
// [below0, below1)) and to rows of keys; they do not overlap (__restrict),
// so that the compiler vectorises the loop without checking that. The width
// is a template argument so that its factors are constants (SSE2, all that
// every x86-64 has, multiplies packed 32-bit numbers only in halves).
template <std::size_t W>
void KeepStrongest(const int32_t* __restrict lo, const int32_t* __restrict hi,
                   const int32_t* __restrict above0, const int32_t* __restrict above1,
                   const int32_t* __restrict below0, const int32_t* __restrict below1,
                   int32_t* __restrict dark, int32_t* __restrict bright) {
  constexpr int32_t kCoreRows = 2 * kWidths[W].half + 1, kFlank = kWidths[W].flank;
  constexpr int32_t kKeyScale = 4 * (kContrastScale / (kCoreRows * kFlank));
  constexpr auto kTag = static_cast<int32_t>(3 - W);
  for (int l = 0; l < kLanes; ++l) {
    const int32_t core = (hi[l] - lo[l]) * kFlank;
    const int32_t above = (above1[l] - above0[l]) * kCoreRows;
    const int32_t below = (below1[l] - below0[l]) * kCoreRows;
    dark[l] = std::max(dark[l], (std::min(above, below) - core) * kKeyScale + kTag);
    bright[l] = std::max(bright[l], (core - std::max(above, below)) * kKeyScale + kTag);
  }
}

// Candidates of up to kLanes coarse columns.
class CandidateBlock {
 public:
  CandidateBlock()
      : sums_(static_cast<std::size_t>(kBand + 1) * kLanes),
        squares_(sums_.size()),
        dark_(static_cast<std::size_t>(kBand) * kLanes),
        bright_(dark_.size()),
        maxima_(dark_.size()),
        snr_(dark_.size()) {}

  // Reads the band of column xs[l] from row tops[l] down (rows outside the
  // picture read as white) for the lanes with usable[l], and appends the
  // candidates of each such column, in lane order, to `cands` (and the
  // column to `cols`, at chord coordinate us[l], when it has any).
  void Collect(const ImageView& image, const std::array<int, kLanes>& xs,
               const std::array<int, kLanes>& tops, const std::array<bool, kLanes>& usable,
               const std::array<double, kLanes>& us, std::vector<CoarseColumn>& cols,
               std::vector<Candidate>& cands) {
    ReadProfiles(image, xs, tops, usable);
    FormContrasts();
    std::array<std::array<Strongest, 2>, kLanes> strongest{};  // [lane][dark, bright]
    KeepMaxima(dark_, tops, strongest, 0);
    KeepMaxima(bright_, tops, strongest, 1);
    for (int l = 0; l < kLanes; ++l) {
      const auto li = static_cast<std::size_t>(l);
      if (!usable[li])
        continue;
      const auto first_candidate = static_cast<int>(cands.size());
      for (const Strongest& list : strongest[li])
        cands.insert(cands.end(), list.best.begin(), list.best.begin() + list.kept);
      const int count = static_cast<int>(cands.size()) - first_candidate;
      if (count > 0)
        cols.push_back({us[li], first_candidate, count});
    }
  }

 private:
  // Prefix sums down each lane's profile, read row by row in address order
  // so that memory streams (reading column by column would wait for memory
  // on every pixel).
  void ReadProfiles(const ImageView& image, const std::array<int, kLanes>& xs,
                    const std::array<int, kLanes>& tops, const std::array<bool, kLanes>& usable) {
    std::fill_n(sums_.begin(), kLanes, 0);
    std::fill_n(squares_.begin(), kLanes, 0);
    for (int j = 0; j < kBand; ++j) {
      const auto above = static_cast<std::size_t>(j) * kLanes, here = above + kLanes;
      for (int l = 0; l < kLanes; ++l) {
        const auto li = static_cast<std::size_t>(l);
        const int y = tops[li] + j;
        int value = 765;
        if (usable[li] && y >= 0 && y < image.height)
          value = Brightness(image.pixels[static_cast<std::size_t>(y) * image.width + xs[li]]);
        sums_[here + li] = sums_[above + li] + value;
        squares_[here + li] = squares_[above + li] + value * value;
      }
    }
  }

  // The strongest contrast of each sign over the widths at every row that
  // all widths reach, and the width that gives it (the narrowest of equals).
  void FormContrasts() {
    std::fill(dark_.begin(), dark_.end(), kNoContrast);
    std::fill(bright_.begin(), bright_.end(), kNoContrast);
    for (int r = kWidestReach; r < kBand - kWidestReach; ++r) {
      FormContrastsOfWidth<0>(r);
      FormContrastsOfWidth<1>(r);
      FormContrastsOfWidth<2>(r);
      FormContrastsOfWidth<3>(r);
    }
  }
  template <std::size_t W>
  void FormContrastsOfWidth(int r) {
    constexpr LineWidth kWidth = kWidths[W];
    const int lo = r - kWidth.half, hi = r + kWidth.half + 1;  // core rows [lo, hi)
    KeepStrongest<W>(Row(lo), Row(hi), Row(lo - kWidth.gap - kWidth.flank), Row(lo - kWidth.gap),
                     Row(hi + kWidth.gap), Row(hi + kWidth.gap + kWidth.flank),
                     &dark_[static_cast<std::size_t>(r) * kLanes],
                     &bright_[static_cast<std::size_t>(r) * kLanes]);
  }

  const int32_t* Row(int j) const { return &sums_[static_cast<std::size_t>(j) * kLanes]; }

  // The strongest candidates of one sign in one column, the highest
  // signal-to-noise ratio first (the first found of equals).
  struct Strongest {
    std::array<Candidate, kCandidatesPerSign> best{};
    int kept = 0;
    void Insert(const Candidate& c) {
      int at = kept;
      while (at > 0 && best[static_cast<std::size_t>(at) - 1].snr < c.snr)
        --at;
      if (at >= kCandidatesPerSign)
        return;
      for (int k = std::min(kept, kCandidatesPerSign - 1); k > at; --k)
        best[static_cast<std::size_t>(k)] = best[static_cast<std::size_t>(k) - 1];
      best[static_cast<std::size_t>(at)] = c;
      kept = std::min(kept + 1, kCandidatesPerSign);
    }
  };

  // The candidates of one sign (keys dark_ or bright_): local maxima of the
  // contrast above kMinContrast that stand out of their background's
  // roughness, kept in strongest[lane][sign]. Row by row across the lanes,
  // top down, so that the block's arrays are read in address order. The
  // maxima are gathered first and their ratios formed in a loop without
  // branches: each is a chain of divisions and a square root, which the
  // processor then overlaps (a branch on each ratio would be mispredicted
  // about every other time and wait for the chain).
  void KeepMaxima(const std::vector<int32_t>& keys, const std::array<int, kLanes>& tops,
                  std::array<std::array<Strongest, 2>, kLanes>& strongest, int sign) {
    constexpr auto kMinScaled = static_cast<int32_t>(kMinContrast * kContrastScale);
    std::size_t n = 0;  // maxima found
    for (int r = kWidestReach; r < kBand - kWidestReach; ++r) {
      const int32_t* above = &keys[static_cast<std::size_t>(r - 1) * kLanes];
      const int32_t* here = above + kLanes;
      const int32_t* below = here + kLanes;
      // Flagged by a loop the compiler vectorises, then gathered without
      // branches (on noise, whether a row is a maximum is a coin toss).
      std::array<int32_t, kLanes> is_maximum;
      for (std::size_t l = 0; l < kLanes; ++l) {
        const int32_t c = ContrastOfKey(here[l]);
        const auto flag = [](bool b) { return static_cast<int32_t>(b); };
        is_maximum[l] = flag(c > kMinScaled) & flag(c > ContrastOfKey(above[l])) &
                        flag(c >= ContrastOfKey(below[l]));
      }
      for (int l = 0; l < kLanes; ++l) {
        maxima_[n] = r * kLanes + l;
        n += static_cast<std::size_t>(is_maximum[static_cast<std::size_t>(l)]);
      }
    }
    for (std::size_t m = 0; m < n; ++m) {
      const int r = maxima_[m] / kLanes;
      const auto l = static_cast<std::size_t>(maxima_[m] % kLanes);
      const int32_t key = keys[static_cast<std::size_t>(maxima_[m])];
      const LineWidth& lw = kWidths[static_cast<std::size_t>(WidthOfKey(key))];
      // The whole-number difference of the sums (exact: the key holds a
      // multiple of the scale), then the same value as the mean difference
      // formed in floating point.
      const double difference = static_cast<double>(ContrastOfKey(key)) /
                                (kContrastScale / ((2 * lw.half + 1) * lw.flank));
      const double value = difference * (lw.per_core * lw.per_flank);
      const auto at = [&](const std::vector<int32_t>& v, int row) {
        return static_cast<int64_t>(v[static_cast<std::size_t>(row) * kLanes + l]);
      };
      const int a = FirstAbove(r, lw), b = FirstBelow(r, lw);
      const double spread = FlankSpread(
          at(sums_, a + lw.flank) - at(sums_, a), at(squares_, a + lw.flank) - at(squares_, a),
          at(sums_, b + lw.flank) - at(sums_, b), at(squares_, b + lw.flank) - at(squares_, b), lw);
      snr_[m] = SignalToNoise(value, spread);
    }
    for (std::size_t m = 0; m < n; ++m) {
      if (snr_[m] >= kMinSignalToNoise) {
        const int r = maxima_[m] / kLanes;
        const auto l = static_cast<std::size_t>(maxima_[m] % kLanes);
        const int width = WidthOfKey(keys[static_cast<std::size_t>(maxima_[m])]);
        strongest[l][static_cast<std::size_t>(sign)].Insert(
            {static_cast<double>(tops[l] + r), WeightOf(snr_[m]), snr_[m], width});
      }
    }
  }

  // Prefix sums down each lane of b and of b^2, (kBand + 1) rows x kLanes
  // (at most 216 x 765^2, within 32 bits).
  std::vector<int32_t> sums_, squares_;
  std::vector<int32_t> dark_, bright_;  // kBand rows x kLanes, keys
  // The maxima of one sign, row by row: their indices r x kLanes + lane into
  // the block's arrays, and their signal-to-noise ratios.
  std::vector<int32_t> maxima_;
  std::vector<double> snr_;
};

struct Consensus {
  Coefficients c{};     // parabola (c3 = c4 = 0)
  int support = 0;      // coarse columns with a candidate within the tolerance
  double strength = 0;  // their summed weights
  bool found = false;
};

// A coarse column's candidates in fixed slots, in the candidate list's
// order; an empty slot, or one whose candidate has been removed, lies at an
// infinite row. The nearest candidate is then found without branches.
constexpr int kSlots = 2 * kCandidatesPerSign;
struct ColumnSlots {
  std::array<double, kSlots> y;
  std::array<double, kSlots> strength;
  bool Active(int slot) const { return std::isfinite(y[static_cast<std::size_t>(slot)]); }
};

// The slots of every coarse column, all candidates active.
std::vector<ColumnSlots> SlotsOf(const std::vector<CoarseColumn>& cols,
                                 const std::vector<Candidate>& cands) {
  std::vector<ColumnSlots> slots(cols.size());
  for (std::size_t i = 0; i < cols.size(); ++i) {
    slots[i].y.fill(std::numeric_limits<double>::infinity());
    slots[i].strength.fill(0);
    for (int k = 0; k < cols[i].count && k < kSlots; ++k) {
      const Candidate& cand = cands[static_cast<std::size_t>(cols[i].first + k)];
      slots[i].y[static_cast<std::size_t>(k)] = cand.y;
      slots[i].strength[static_cast<std::size_t>(k)] = cand.strength;
    }
  }
  return slots;
}

// The distance from `model_row` to the nearest active candidate of a column
// (the first of equals), and its slot; infinite when there is none.
double NearestDistance(const ColumnSlots& col, double model_row, int* slot) {
  double best = std::numeric_limits<double>::infinity();
  for (int k = 0; k < kSlots; ++k) {
    const double d = std::fabs(col.y[static_cast<std::size_t>(k)] - model_row);
    *slot = d < best ? k : *slot;
    best = d < best ? d : best;
  }
  return best;
}

// A parabola's row at u, as Evaluate gives it for c[3] = c[4] = 0.
double EvaluateParabola(const Coefficients& c, double u) {
  return (c[2] * u + c[1]) * u + c[0];
}

// RANSAC: parabolas through one active candidate from each third of the span,
// scored by the summed weights of the nearest active candidates within the
// tolerance, one per coarse column.
Consensus FindConsensus(const std::vector<CoarseColumn>& cols,
                        const std::vector<ColumnSlots>& slots, Random& random) {
  std::array<std::vector<int>, 3> thirds;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    bool any = false;
    for (int k = 0; k < kSlots; ++k)
      any = any || slots[i].Active(k);
    if (!any)
      continue;
    const int third = cols[i].u < -1.0 / 3 ? 0 : (cols[i].u > 1.0 / 3 ? 2 : 1);
    thirds[static_cast<std::size_t>(third)].push_back(static_cast<int>(i));
  }
  Consensus best;
  for (const std::vector<int>& t : thirds) {
    if (t.empty())
      return best;
  }
  const int ncols = static_cast<int>(cols.size());
  double best_preview = 0;
  for (int round = 0; round < kRansacRounds; ++round) {
    std::array<Point, 3> p{};
    for (std::size_t s = 0; s < 3; ++s) {
      const auto i = static_cast<std::size_t>(
          thirds[s][static_cast<std::size_t>(random.Below(static_cast<int>(thirds[s].size())))]);
      const int count = std::min(cols[i].count, kSlots);
      int k = random.Below(count);
      for (int tries = 0; tries < count && !slots[i].Active(k); ++tries)
        k = (k + 1) % count;
      p[s] = {cols[i].u, slots[i].y[static_cast<std::size_t>(k)]};
    }
    // The parabola through the three points.
    const double s12 = (p[1].y - p[0].y) / (p[1].u - p[0].u);
    const double s13 = (p[2].y - p[0].y) / (p[2].u - p[0].u);
    Coefficients c{};
    c[2] = (s13 - s12) / (p[2].u - p[1].u);
    c[1] = s12 - c[2] * (p[0].u + p[1].u);
    c[0] = p[0].y - c[1] * p[0].u - c[2] * p[0].u * p[0].u;
    if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(c[2]))
      continue;
    // A quick look at every 8th column first: a model that scores less than
    // half of the best one's there is not scored in full.
    double preview = 0;
    for (int i = 0; i < ncols; i += 8) {
      const auto ii = static_cast<std::size_t>(i);
      int slot = 0;
      if (NearestDistance(slots[ii], EvaluateParabola(c, cols[ii].u), &slot) <=
          kConsensusTolerancePx)
        preview += slots[ii].strength[static_cast<std::size_t>(slot)];
    }
    if (preview < 0.5 * best_preview)
      continue;
    int support = 0;
    double strength = 0;
    for (int i = 0; i < ncols; ++i) {
      if (strength + (ncols - i) < best.strength)
        break;  // cannot win any more (a weight is at most 1)
      const auto ii = static_cast<std::size_t>(i);
      int slot = 0;
      const double d = NearestDistance(slots[ii], EvaluateParabola(c, cols[ii].u), &slot);
      if (d <= kConsensusTolerancePx) {
        ++support;
        strength += slots[ii].strength[static_cast<std::size_t>(slot)];
      }
    }
    if (strength > best.strength) {
      best_preview = preview;
      best.c = c;
      best.support = support;
      best.strength = strength;
      best.found = true;
    }
  }
  return best;
}

// Whether `upper` is a second conductor-like curve above `lower`: roughly
// parallel to it (its height above it changing by at most half its mean
// plus 6 px across the span) and above it by 3 px or more everywhere.
bool RunsAbove(const Coefficients& upper, const Coefficients& lower) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo, sum = 0;
  constexpr int kSteps = 16;
  for (int s = 0; s <= kSteps; ++s) {
    const double u = -1.0 + 2.0 * s / kSteps;
    const double gap = Evaluate(lower, u) - Evaluate(upper, u);
    lo = std::min(lo, gap);
    hi = std::max(hi, gap);
    sum += gap;
  }
  const double mean = sum / (kSteps + 1);
  return lo >= 3.0 && hi - lo <= 0.5 * mean + 6.0;
}

// The coarse candidates of a consensus curve refined by weighted least
// squares, with a tolerance narrowing from 3 to 2 px: first a parabola, then
// a quartic where the candidates cover both outer quarters of the span (a
// parabola misses a catenary of large sag, or one seen with a camera roll, by
// a pixel or two). Also returns the most frequent line width among them.
Coefficients RefineConsensus(const std::vector<CoarseColumn>& cols,
                             const std::vector<ColumnSlots>& slots,
                             const std::vector<Candidate>& cands, Coefficients c, int* width) {
  std::vector<Point> points;
  std::array<int, kWidths.size()> width_count{};
  constexpr std::array<double, 3> kTolerancePx = {3.0, 2.5, 2.0};
  for (std::size_t pass = 0; pass < kTolerancePx.size(); ++pass) {
    points.clear();
    width_count.fill(0);
    int left = 0, right = 0;
    for (std::size_t i = 0; i < cols.size(); ++i) {
      const CoarseColumn& col = cols[i];
      int slot = 0;
      const double d = NearestDistance(slots[i], Evaluate(c, col.u), &slot);
      if (d <= kTolerancePx[pass]) {
        const Candidate& cand = cands[static_cast<std::size_t>(col.first + slot)];
        points.push_back({col.u, cand.y, cand.strength});
        ++width_count[static_cast<std::size_t>(cand.width)];
        left += col.u < -0.5 ? 1 : 0;
        right += col.u > 0.5 ? 1 : 0;
      }
    }
    const int terms = pass > 0 && left >= 10 && right >= 10 ? kPrecisionCurveTerms : 3;
    Coefficients next{};
    if (!FitPolynomial(points, {}, terms, &next))
      break;
    c = next;
  }
  *width = static_cast<int>(std::max_element(width_count.begin(), width_count.end()) -
                            width_count.begin());
  return c;
}

struct ColumnCentre {
  bool found = false;
  double row = 0;
  double weight = 0;  // 0..1, from the line's contrast over the background's roughness
};

// Rows summed for one column's centre: at most 2 CentreMargin + 1 = 35,
// rounded up to whole chunks of kSumChunk (the chunks are summed by a loop
// the compiler vectorises).
constexpr int kSumChunk = 8;
constexpr int kMaxWindow = 40;

// Brightness of a block of the picture, read row by row (in address order,
// so that memory streams), for the columns of one stretch of the span; held
// column by column, each followed by kSumChunk spare rows, so that a column's
// rows are summed as whole chunks.
struct Tile {
  int x0 = 0, y0 = 0, width = 0, height = 0, stride = 0;
  std::vector<int32_t> brightness;

  // Columns first..last and rows top..bottom (inclusive), clipped to the picture.
  void Load(const ImageView& image, int first, int last, int top, int bottom) {
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
        out[0] = Brightness(r0[x]);
        out[1] = Brightness(r1[x]);
        out[2] = Brightness(r2[x]);
        out[3] = Brightness(r3[x]);
      }
    }
    for (; y < height; ++y) {
      const uint32_t* r = row(y);
      for (int x = 0; x < width; ++x)
        brightness[static_cast<std::size_t>(x) * stride + y] = Brightness(r[x]);
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

// The conductor's centre in column x near the model's row there: the
// profile of the column summed with those of its `along` neighbours on
// either side, each shifted by the model's change of row so that the
// conductor lines up (texture behind it averages out, the conductor does
// not; the shifts' rounding is antisymmetric about x and cancels); the
// strongest line response of the given width within `search` rows; then the
// centroid of its contrast against the background interpolated between the
// flanks, recentred until it settles. model_rows[j] is the model's row at
// column x + j, for j in -along..along.
ColumnCentre CentreInColumn(const Tile& tile, int x, const double* model_rows, int search,
                            int along, const LineWidth& w) {
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
  for (int r = margin - search; r <= margin + search; ++r) {
    const Contrast c = LineContrast(prefix.data(), r, w);
    if (c.dark > best) {
      best = c.dark;
      best_r = r;
      sign = 1;
    }
    if (c.bright > best) {
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
  const double weight =
      WeightOf(SignalToNoise(best, FlankSpread(s_above, q_above, s_below, q_below, w), count));
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
  // moments[k] = sum of r b(r) for r < k, below 35 x 34 x 9 x 765 (within 32 bits).
  std::array<int32_t, kMaxWindow + 1> moments;
  moments[0] = 0;
  for (int r = 0; r < n; ++r)
    moments[static_cast<std::size_t>(r) + 1] =
        moments[static_cast<std::size_t>(r)] + r * buffer[static_cast<std::size_t>(r)];
  const int core_rows = 2 * hw + 1;
  const double t2 = hw * (hw + 1) * (2 * hw + 1) / 3.0;
  const double flank_distance = 2 * hw + flank + 1;  // rows between the flanks' centres
  double c = best_r;
  for (int iteration = 0; iteration < 4; ++iteration) {
    const int rc = RoundToInt(c);
    if (rc - hw - flank < 0 || rc + hw + flank >= n)
      return {};
    const double above = sums.MeanOf(rc - hw - flank, rc - hw - 1);
    const double below = sums.MeanOf(rc + hw + 1, rc + hw + flank);
    const double mid = (above + below) / 2, slope = (below - above) / flank_distance;
    const int32_t sum_b = sums.At(rc + hw + 1) - sums.At(rc - hw);
    const int32_t sum_rb =
        moments[static_cast<std::size_t>(rc + hw + 1)] - moments[static_cast<std::size_t>(rc - hw)];
    const double sum_tb = static_cast<double>(sum_rb) - static_cast<double>(rc) * sum_b;
    const double sw = sign * (core_rows * mid - sum_b);
    const double swt = sign * (slope * t2 - sum_tb);
    if (!(sw > 0))
      return {};
    const double next = rc + swt / sw;
    if (next < rc - hw || next > rc + hw)
      return {};
    const bool settled = std::fabs(next - c) < 0.01;
    c = next;
    if (settled)
      break;
  }
  const double row = top + c;
  if (std::fabs(row - predicted) > search + 1)
    return {};
  return {true, row, weight};
}

// The centres of every step-th column of the span near `model`, within
// `search` rows, from profiles summed over 2 along + 1 columns.
std::vector<Point> CollectCentres(const ImageView& image, int xa, int xb, int step,
                                  const PrecisionCurve& frame, const Coefficients& model,
                                  int search, int along, const LineWidth& width) {
  std::vector<Point> points;
  points.reserve(static_cast<std::size_t>((xb - xa) / step + 1));
  Tile tile;
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
    for (int x = first + (step - (first - xa) % step) % step; x <= last; x += step) {
      const ColumnCentre c = CentreInColumn(
          tile, x, &rows[static_cast<std::size_t>(x - first + along)], search, along, width);
      if (c.found)
        points.push_back({(x - frame.centre_x) / frame.half_width, c.row, c.weight});
    }
  }
  return points;
}

double Median(std::vector<double> v) {
  if (v.empty())
    return 0;
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

// Iteratively reweighted least squares of the quartic from `start`: Tukey's
// biweight with cut-off 4.685 sigma, sigma = 1.4826 x the median absolute
// residual (at least 0.05 px).
Coefficients RobustFit(const std::vector<Point>& points, Coefficients c, double* sigma) {
  std::vector<double> weights(points.size()), residuals(points.size());
  *sigma = 1;
  for (int iteration = 0; iteration < 8 && points.size() >= 2 * kPrecisionCurveTerms; ++iteration) {
    for (std::size_t i = 0; i < points.size(); ++i)
      residuals[i] = std::fabs(points[i].y - Evaluate(c, points[i].u));
    *sigma = std::max(0.05, 1.4826 * Median(residuals));
    const double cutoff = 4.685 * *sigma;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const double t = residuals[i] / cutoff;
      weights[i] = t < 1 ? (1 - t * t) * (1 - t * t) : 0.0;
    }
    Coefficients next{};
    if (!FitPolynomial(points, weights, kPrecisionCurveTerms, &next))
      break;
    double change = 0;
    for (std::size_t k = 0; k < c.size(); ++k)
      change = std::max(change, std::fabs(next[k] - c[k]));
    c = next;
    if (change < 1e-4)
      break;  // settled to a ten-thousandth of a pixel
  }
  return c;
}

std::string Percent(double share) {
  char text[16];
  std::snprintf(text, sizeof text, "%.0f", share * 100);
  return text;
}

std::string Pixels(double px, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, px);
  return text;
}

// No credible conductor: the failure, and its English text.
void Reject(PrecisionTrace& out, Failure why) {
  out.reason = why.English();
  out.why = std::move(why);
}

}  // namespace

double PrecisionCurve::RowAt(double x) const {
  return Evaluate(coefficients, (x - centre_x) / half_width);
}

PrecisionTrace TracePrecisely(const ImageView& image, const ScanLine& line, float img_scale) {
  PrecisionTrace out;
  for (int i = 0; i < kStations; ++i)
    out.StationX[static_cast<std::size_t>(i)] = StationColumn(line, img_scale, i);
  if (image.pixels == nullptr || image.width <= 0 || image.height <= 0) {
    Reject(out, Failure(MessageId::kTraceNoPicture));
    return out;
  }
  // The span: the columns between the line's ends (its first and last
  // stations), within the picture.
  const int64_t end_a = out.StationX[0], end_b = out.StationX[kStations - 1];
  const int64_t first = std::max<int64_t>(0, std::min(end_a, end_b));
  const int64_t last = std::min<int64_t>(image.width - 1, std::max(end_a, end_b));
  out.columns_total =
      static_cast<int>(std::max<int64_t>(0, std::max(end_a, end_b) - std::min(end_a, end_b) + 1));
  if (last - first + 1 < kMinColumns) {
    Reject(out, Failure(MessageId::kTraceLineTooShort));
    return out;
  }
  const int xa = static_cast<int>(first), xb = static_cast<int>(last);

  // The drawn line in working-image pixels; its row at a column.
  const double s = img_scale;
  const double lx1 = double{line.X1} * s, ly1 = double{line.Y1} * s;
  const double lx2 = double{line.X2} * s, ly2 = double{line.Y2} * s;
  auto line_row = [&](double x) {
    return lx2 == lx1 ? ly1 : ly1 + (ly2 - ly1) * (x - lx1) / (lx2 - lx1);
  };
  // The chord frame: u = -1 at the first column, +1 at the last of the span
  // (whole, even where it leaves the picture).
  PrecisionCurve& curve = out.curve;
  curve.centre_x = (static_cast<double>(end_a) + static_cast<double>(end_b)) / 2;
  curve.half_width = std::max(0.5, std::fabs(static_cast<double>(end_b - end_a)) / 2);
  auto u_of = [&](double x) { return (x - curve.centre_x) / curve.half_width; };

  // Candidates on evenly spread columns.
  const int ncoarse = std::min(kCoarseColumns, xb - xa + 1);
  std::vector<CoarseColumn> cols;
  std::vector<Candidate> cands;
  cols.reserve(static_cast<std::size_t>(ncoarse));
  cands.reserve(static_cast<std::size_t>(ncoarse) * 2 * kCandidatesPerSign);
  {
    CandidateBlock block;
    std::array<int, kLanes> xs{}, tops{};
    std::array<bool, kLanes> usable{};
    std::array<double, kLanes> us{};
    for (int k0 = 0; k0 < ncoarse; k0 += kLanes) {
      for (int l = 0; l < kLanes; ++l) {
        const auto li = static_cast<std::size_t>(l);
        usable[li] = false;
        if (k0 + l >= ncoarse)
          continue;
        xs[li] = xa + static_cast<int>(std::lround(static_cast<double>(k0 + l) * (xb - xa) /
                                                   std::max(1, ncoarse - 1)));
        const double top_row = std::floor(line_row(xs[li])) - kAboveLine;
        usable[li] = top_row > -1e9 && top_row < 1e9;
        tops[li] = usable[li] ? static_cast<int>(top_row) : 0;
        us[li] = u_of(xs[li]);
      }
      block.Collect(image, xs, tops, usable, us, cols, cands);
    }
  }

  // The consensus curve, and the upper of two parallel conductors.
  Random random;
  const std::vector<ColumnSlots> all = SlotsOf(cols, cands);
  std::vector<ColumnSlots> remaining = all;
  Consensus best = FindConsensus(cols, remaining, random);
  if (!best.found || best.support < 10) {
    Reject(out, Failure(MessageId::kTraceNoConductorInBand));
    return out;
  }
  for (std::size_t i = 0; i < cols.size(); ++i) {
    for (double& y : remaining[i].y) {
      if (std::fabs(y - Evaluate(best.c, cols[i].u)) <= kConsensusTolerancePx)
        y = std::numeric_limits<double>::infinity();
    }
  }
  const Consensus second = FindConsensus(cols, remaining, random);
  if (second.found && second.support >= kUpperSupportShare * best.support &&
      second.strength >= kUpperSupportShare * best.strength && RunsAbove(second.c, best.c))
    best = second;
  int width_index = 0;
  const Coefficients coarse = RefineConsensus(cols, all, cands, best.c, &width_index);
  const LineWidth width = kWidths[static_cast<std::size_t>(width_index)];

  // The centres in every third column of the span, near the consensus
  // curve; a robust quartic through them; the centres in every column, nearer
  // that quartic, and the robust quartic again.
  double sigma = 1;
  std::vector<Point> points = CollectCentres(image, xa, xb, kFirstPassStep, curve, coarse,
                                             kSearchHalfRows, kAlongColumns, width);
  Coefficients c = RobustFit(points, coarse, &sigma);
  points = CollectCentres(image, xa, xb, 1, curve, c, 2, kAlongColumns, width);
  c = RobustFit(points, c, &sigma);
  std::vector<Point> inliers;
  inliers.reserve(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (std::fabs(points[i].y - Evaluate(c, points[i].u)) <= std::max(1.0, 3 * sigma))
      inliers.push_back(points[i]);
  }
  std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms> inverse{};
  if (inliers.size() < 2 * kPrecisionCurveTerms ||
      !FitPolynomial(inliers, {}, kPrecisionCurveTerms, &c, &inverse)) {
    Reject(out, Failure(MessageId::kTraceNoConductorInBand));
    return out;
  }

  out.fitted = true;
  curve.coefficients = c;
  double sum2 = 0, weighted_sum2 = 0;
  int near_first = 0, near_last = 0;
  for (const Point& p : inliers) {
    const double r = p.y - Evaluate(c, p.u);
    sum2 += r * r;
    weighted_sum2 += p.weight * r * r;
    near_first += p.u < -0.5 ? 1 : 0;
    near_last += p.u > 0.5 ? 1 : 0;
  }
  const auto n = static_cast<double>(inliers.size());
  out.residual_px = static_cast<float>(std::sqrt(sum2 / n));
  out.columns_used = static_cast<float>(n / out.columns_total);
  for (std::size_t i = 0; i < kStations; ++i)
    out.StationRows[i] = static_cast<float>(curve.RowAt(out.StationX[i]));
  out.sag_px = out.StationRows[4] - (out.StationRows[0] + out.StationRows[8]) / 2;

  // Uncertainty of p = y(u4) - (y(u0) + y(u8)) / 2: g^T Cov g with
  // Cov = s^2 (A^T W A)^-1 kColumnsPerSample, s^2 = sum(w r^2) / (n - 5),
  // W the columns' weights.
  std::array<double, kPrecisionCurveTerms> g{};
  for (const std::size_t i : {std::size_t{0}, std::size_t{4}, std::size_t{8}}) {
    const double u = u_of(out.StationX[i]);
    const double factor = i == 4 ? 1.0 : -0.5;
    double p = 1;
    for (std::size_t k = 0; k < g.size(); ++k) {
      g[k] += factor * p;
      p *= u;
    }
  }
  double variance = 0;
  for (std::size_t a = 0; a < g.size(); ++a) {
    for (std::size_t b = 0; b < g.size(); ++b)
      variance += g[a] * inverse[a][b] * g[b];
  }
  const double s2 = weighted_sum2 / std::max(1.0, n - kPrecisionCurveTerms);
  out.sag_uncertainty_px =
      static_cast<float>(std::sqrt(std::max(0.0, variance * s2 * kColumnsPerSample)));

  const int segments = std::min(kPolylineSegments, xb - xa);
  out.polyline.reserve(static_cast<std::size_t>(segments) + 1);
  for (int k = 0; k <= segments; ++k) {
    const double x = xa + static_cast<double>(xb - xa) * k / segments;
    out.polyline.push_back({static_cast<float>(x), static_cast<float>(curve.RowAt(x))});
  }

  // Credibility.
  const double share = out.columns_used;
  const double quarter = 0.02 * out.columns_total;
  if (share < kMinCredibleColumnShare) {
    Reject(out, Failure(MessageId::kTraceTooFewColumns,
                        {Percent(share), Percent(kMinCredibleColumnShare)}));
  } else if (near_first < quarter || near_last < quarter) {
    Reject(out, Failure(MessageId::kTraceEndMissing));
  } else if (out.residual_px > kMaxCredibleResidualPx) {
    Reject(out, Failure(MessageId::kTraceScatter,
                        {Pixels(out.residual_px, 2), Pixels(kMaxCredibleResidualPx, 1)}));
  } else {
    out.credible = true;
  }
  return out;
}

}  // namespace sarn
