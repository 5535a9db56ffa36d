#include "tracing/precision_candidates.h"

#include <algorithm>
#include <cmath>

namespace sarn::precision {

namespace {

// Coarse columns whose candidates are formed together. Their profiles are
// held row by row with one lane per column, so that one loop over the lanes
// forms a box contrast for all of them (the compiler vectorises it: the lane
// count is a compile-time constant).
constexpr int kLanes = 32;

// The box contrasts in whole numbers on one scale for all widths: the
// difference of means of width w is (flank sum x core rows - core sum x
// flank rows) / (core rows x flank rows); times kContrastScale = 73800, the
// least common multiple of core rows x flank rows over the widths (2, 9, 15,
// 36, 75, 150, 328), it is whole. At most 765 x 73800, about 5.6e7.
constexpr int32_t kContrastScale = 73800;

// The strongest contrast over the widths and the width giving it are kept as
// one key, 8 x scaled contrast + (6 - width index), below 4.6e8: the larger
// key has the larger contrast, or the narrower width of equal contrasts, so
// that keeping the strongest is a plain maximum. A key of kNoContrast is
// contrast 0 at the narrowest width (nothing found yet).
constexpr int32_t kNoContrast = 6;
static_assert(kWidths.size() == 7);
int32_t ContrastOfKey(int32_t key) {
  return key >> 3;
}
int WidthOfKey(int32_t key) {
  return 6 - (key & 7);
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
  constexpr int32_t kKeyScale = 8 * (kContrastScale / (kCoreRows * kFlank));
  constexpr auto kTag = static_cast<int32_t>(6 - W);
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
               std::vector<Candidate>& cands, const ColourKey* colour) {
    ReadProfiles(image, xs, tops, usable, colour);
    FormContrasts();
    std::array<std::array<Strongest, 2>, kLanes> strongest{};  // [lane][dark, bright]
    KeepMaxima(dark_, tops, strongest, 0);
    KeepMaxima(bright_, tops, strongest, 1);
    for (auto& lane : strongest) {
      const Strongest dark = lane[0], bright = lane[1];
      DropHalos(lane[0], bright);
      DropHalos(lane[1], dark);
    }
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

  int Responses() const { return responses_; }

 private:
  // Prefix sums down each lane's profile, read row by row in address order
  // so that memory streams (reading column by column would wait for memory
  // on every pixel).
  void ReadProfiles(const ImageView& image, const std::array<int, kLanes>& xs,
                    const std::array<int, kLanes>& tops, const std::array<bool, kLanes>& usable,
                    const ColourKey* colour) {
    std::fill_n(sums_.begin(), kLanes, 0);
    std::fill_n(squares_.begin(), kLanes, 0);
    for (int j = 0; j < kBand; ++j) {
      const auto above = static_cast<std::size_t>(j) * kLanes, here = above + kLanes;
      for (int l = 0; l < kLanes; ++l) {
        const auto li = static_cast<std::size_t>(l);
        const int y = tops[li] + j;
        int value = 765;
        if (usable[li] && y >= 0 && y < image.height) {
          const uint32_t c = image.pixels[static_cast<std::size_t>(y) * image.width + xs[li]];
          value = colour != nullptr ? ColourDistance(c, *colour) : Brightness(c);
        }
        sums_[here + li] = sums_[above + li] + value;
        squares_[here + li] = squares_[above + li] + value * value;
      }
    }
  }

  // The strongest contrast of each sign over the widths at every row, from
  // the widths that reach it, and the width that gives it (the narrowest of
  // equals).
  void FormContrasts() {
    std::fill(dark_.begin(), dark_.end(), kNoContrast);
    std::fill(bright_.begin(), bright_.end(), kNoContrast);
    FormContrastsOfWidth<0>();
    FormContrastsOfWidth<1>();
    FormContrastsOfWidth<2>();
    FormContrastsOfWidth<3>();
    FormContrastsOfWidth<4>();
    FormContrastsOfWidth<5>();
    FormContrastsOfWidth<6>();
  }
  template <std::size_t W>
  void FormContrastsOfWidth() {
    constexpr LineWidth kWidth = kWidths[W];
    for (int r = ReachOf(kWidth); r < kBand - ReachOf(kWidth); ++r)
      FormContrastsAt<W>(r);
  }
  template <std::size_t W>
  void FormContrastsAt(int r) {
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
  };

  // The strongest responses of one column and sign, the highest
  // signal-to-noise ratio first, each kept only when no stronger one kept
  // lies within the wider one's half core + 1 rows: a wide box over a thin
  // line (or one edge of a thick conductor) responds over a plateau beside
  // the line, and that plateau is the line itself, not another.
  static Strongest SuppressOverlaps(std::vector<Candidate>& found) {
    std::sort(found.begin(), found.end(),
              [](const Candidate& a, const Candidate& b) { return a.snr > b.snr; });
    Strongest out;
    for (const Candidate& c : found) {
      bool overlaps = false;
      for (int k = 0; k < out.kept; ++k) {
        const Candidate& o = out.best[static_cast<std::size_t>(k)];
        const int reach = std::max(kWidths[static_cast<std::size_t>(c.width)].half,
                                   kWidths[static_cast<std::size_t>(o.width)].half) +
                          1;
        overlaps = overlaps || std::fabs(c.y - o.y) <= reach;
      }
      if (overlaps)
        continue;
      out.best[static_cast<std::size_t>(out.kept++)] = c;
      if (out.kept == kCandidatesPerSign)
        break;
    }
    found.clear();
    return out;
  }

  // A response of one sign whose flanks reach a response of the other sign
  // more than kHaloRatio times stronger is that line's halo (the sky beside
  // a dark conductor, JPEG ringing at the next block), not a line: dropped.
  static constexpr double kHaloRatio = 2.0;
  static void DropHalos(Strongest& list, const Strongest& other) {
    Strongest kept;
    for (int k = 0; k < list.kept; ++k) {
      const Candidate& c = list.best[static_cast<std::size_t>(k)];
      const int reach = ReachOf(kWidths[static_cast<std::size_t>(c.width)]) + 1;
      bool halo = false;
      for (int j = 0; j < other.kept; ++j) {
        const Candidate& o = other.best[static_cast<std::size_t>(j)];
        halo = halo || (std::fabs(c.y - o.y) <= reach && o.snr > kHaloRatio * c.snr);
      }
      if (!halo)
        kept.best[static_cast<std::size_t>(kept.kept++)] = c;
    }
    list = kept;
  }

  // The middle of the rows about a maximum at row r whose contrast stays
  // within kPlateauShare of it, at most the width's half core either side: a
  // box narrower than a thick conductor answers equally anywhere inside it
  // (and a wider one anywhere around it), so that the first row of that
  // plateau, which a local maximum takes, may lie half a width off the
  // conductor's middle.
  static constexpr double kPlateauShare = 0.9;
  static double PlateauMiddle(const std::vector<int32_t>& keys, int r, std::size_t l, int32_t key) {
    const int reach = kWidths[static_cast<std::size_t>(WidthOfKey(key))].half;
    const auto floor = static_cast<int32_t>(kPlateauShare * ContrastOfKey(key));
    const auto contrast = [&](int row) {
      return ContrastOfKey(keys[static_cast<std::size_t>(row) * kLanes + l]);
    };
    int up = 0, down = 0;
    while (up < reach && r - up - 1 >= 0 && contrast(r - up - 1) >= floor)
      ++up;
    while (down < reach && r + down + 1 < kBand && contrast(r + down + 1) >= floor)
      ++down;
    return r + 0.5 * (down - up);
  }

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
    for (int r = 1; r < kBand - 1; ++r) {
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
        ++responses_;
        const int r = maxima_[m] / kLanes;
        const auto l = static_cast<std::size_t>(maxima_[m] % kLanes);
        const int32_t key = keys[static_cast<std::size_t>(maxima_[m])];
        const int width = WidthOfKey(key);
        found_[l].push_back({tops[l] + PlateauMiddle(keys, r, l, key), WeightOf(snr_[m]), snr_[m],
                             width, sign == 1});
      }
    }
    for (std::size_t l = 0; l < kLanes; ++l)
      strongest[l][static_cast<std::size_t>(sign)] = SuppressOverlaps(found_[l]);
  }

  std::array<std::vector<Candidate>, kLanes> found_;  // responses of one sign per lane
  int responses_ = 0;  // line responses that count, of both signs, kept or not

  // Prefix sums down each lane of b and of b^2, (kBand + 1) rows x kLanes
  // (at most 216 x 765^2, within 32 bits).
  std::vector<int32_t> sums_, squares_;
  std::vector<int32_t> dark_, bright_;  // kBand rows x kLanes, keys
  // The maxima of one sign, row by row: their indices r x kLanes + lane into
  // the block's arrays, and their signal-to-noise ratios.
  std::vector<int32_t> maxima_;
  std::vector<double> snr_;
};
}  // namespace

CandidateSet FindCandidates(const ImageView& image, const SpanFrame& span,
                            const ColourKey* colour) {
  const int xa = span.xa, xb = span.xb;
  const int ncoarse = std::min(kCoarseColumns, xb - xa + 1);
  CandidateSet out;
  out.cols.reserve(static_cast<std::size_t>(ncoarse));
  out.cands.reserve(static_cast<std::size_t>(ncoarse) * 2 * kCandidatesPerSign);
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
      const double top_row = std::floor(span.LineRow(xs[li])) - kAboveLine;
      usable[li] = top_row > -1e9 && top_row < 1e9;
      tops[li] = usable[li] ? static_cast<int>(top_row) : 0;
      us[li] = span.U(xs[li]);
      out.columns_read += usable[li] ? 1 : 0;
    }
    block.Collect(image, xs, tops, usable, us, out.cols, out.cands, colour);
  }
  out.responses = block.Responses();
  return out;
}

}  // namespace sarn::precision
