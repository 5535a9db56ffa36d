#include "tracing/precision_consensus.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SARN_AVX2_PATHS 1
#endif

#include "tracing/precision_credibility.h"
#include "tracing/precision_fit.h"

namespace sarn::precision {

namespace {

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

bool g_baseline_only = false;    // see BaselineOnlyForTest
constexpr int kPreviewStep = 8;  // a model's quick look: every 8th column

// The columns' slots laid out slot by slot (row and strength of slot k of
// column i at [k * stride + i]), padded to a multiple of four columns with
// empty slots, for scoring four columns a step.
struct SlotRows {
  int stride = 0;
  std::vector<double> u, y, strength;
};

// Every `step`-th column from the first.
SlotRows SlotRowsOf(const std::vector<CoarseColumn>& cols, const std::vector<ColumnSlots>& slots,
                    int step) {
  SlotRows r;
  const int n = (static_cast<int>(cols.size()) + step - 1) / step;
  r.stride = (n + 3) / 4 * 4;
  const auto size = static_cast<std::size_t>(r.stride);
  r.u.assign(size, 0.0);
  r.y.assign(size * kSlots, std::numeric_limits<double>::infinity());
  r.strength.assign(size * kSlots, 0.0);
  for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j) {
    const std::size_t i = j * static_cast<std::size_t>(step);
    r.u[j] = cols[i].u;
    for (std::size_t k = 0; k < static_cast<std::size_t>(kSlots); ++k) {
      r.y[k * size + j] = slots[i].y[k];
      r.strength[k * size + j] = slots[i].strength[k];
    }
  }
  return r;
}

// A model's score over all columns: the columns with an active candidate
// within kConsensusTolerancePx of the parabola (`support`) and the summed
// weights of their nearest ones, added in column order. Stops early, with a
// score below `to_beat`, once the columns left (each adds at most 1) cannot
// lift it above `to_beat`.
struct Score {
  int support = 0;
  double strength = 0;
};

Score ScoreBaseline(const std::vector<CoarseColumn>& cols, const std::vector<ColumnSlots>& slots,
                    const Coefficients& c, double to_beat) {
  Score score;
  const int ncols = static_cast<int>(cols.size());
  for (int i = 0; i < ncols; ++i) {
    if (score.strength + (ncols - i) < to_beat)
      break;
    const auto ii = static_cast<std::size_t>(i);
    int slot = 0;
    const double d = NearestDistance(slots[ii], EvaluateParabola(c, cols[ii].u), &slot);
    if (d <= kConsensusTolerancePx) {
      ++score.support;
      score.strength += slots[ii].strength[static_cast<std::size_t>(slot)];
    }
  }
  return score;
}

#if defined(SARN_AVX2_PATHS)
// The same four columns a step with AVX2: the parabola's rows, the nearest
// slot (the first of equals, as NearestDistance) and its weight are formed
// with the same operations in the same order (multiply and add, no fused
// multiply-add), so every lane equals the scalar value; the weights are then
// added one column after another, so the sum is the same to the bit.
__attribute__((target("avx2"))) Score ScoreAvx2(const SlotRows& rows, int ncols,
                                                const Coefficients& c, double to_beat) {
  Score score;
  const __m256d c0 = _mm256_set1_pd(c[0]), c1 = _mm256_set1_pd(c[1]), c2 = _mm256_set1_pd(c[2]);
  const __m256d tolerance = _mm256_set1_pd(kConsensusTolerancePx);
  const __m256d sign = _mm256_set1_pd(-0.0);
  const auto stride = static_cast<std::size_t>(rows.stride);
  for (int i = 0; i < ncols; i += 4) {
    if (score.strength + (ncols - i) < to_beat)
      break;
    const auto ii = static_cast<std::size_t>(i);
    const __m256d u = _mm256_loadu_pd(&rows.u[ii]);
    const __m256d row =
        _mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(c2, u), c1), u), c0);
    __m256d best = _mm256_set1_pd(std::numeric_limits<double>::infinity());
    __m256d weight = _mm256_setzero_pd();
    for (std::size_t k = 0; k < static_cast<std::size_t>(kSlots); ++k) {
      const __m256d d =
          _mm256_andnot_pd(sign, _mm256_sub_pd(_mm256_loadu_pd(&rows.y[k * stride + ii]), row));
      const __m256d nearer = _mm256_cmp_pd(d, best, _CMP_LT_OQ);
      best = _mm256_blendv_pd(best, d, nearer);
      weight = _mm256_blendv_pd(weight, _mm256_loadu_pd(&rows.strength[k * stride + ii]), nearer);
    }
    // Lanes outside the tolerance add 0, which leaves the sum unchanged to
    // the bit; the padding's empty slots are never within it.
    const __m256d within = _mm256_cmp_pd(best, tolerance, _CMP_LE_OQ);
    const int lanes = _mm256_movemask_pd(within);
    alignas(32) double w[4];
    _mm256_store_pd(w, _mm256_and_pd(weight, within));
    score.support += __builtin_popcount(static_cast<unsigned>(lanes));
    score.strength += w[0];
    score.strength += w[1];
    score.strength += w[2];
    score.strength += w[3];
  }
  return score;
}
#endif

// An active slot of a column, drawn with probability proportional to its
// candidate's weight plus kPickFloor, among the candidates of one tone
// (tone 0 dark, 1 bright, -1 either); -1 when the column has none. A
// column holds up to six candidates, three of each tone, and the
// conductor's is mostly among the strongest: the first point of a round
// takes either tone, the other two the first one's tone (a conductor is
// darker or brighter than its background all along), so that a round meets
// the conductor in all three thirds far more often than uniform draws do.
constexpr double kPickFloor = 0.05;
constexpr int kToneTries = 4;
int PickSlot(const ColumnSlots& col, int tone, Random& random) {
  const auto eligible = [&](int k) {
    return col.Active(k) && (tone < 0 || col.bright[static_cast<std::size_t>(k)] == (tone == 1));
  };
  double total = 0;
  for (int k = 0; k < kSlots; ++k)
    total += eligible(k) ? col.strength[static_cast<std::size_t>(k)] + kPickFloor : 0;
  if (total <= 0)
    return -1;
  double draw = total * static_cast<double>(random.Next() >> 11) / 9007199254740992.0;
  int last = -1;
  for (int k = 0; k < kSlots; ++k) {
    if (!eligible(k))
      continue;
    last = k;
    draw -= col.strength[static_cast<std::size_t>(k)] + kPickFloor;
    if (draw < 0)
      return k;
  }
  return last;
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
#if defined(SARN_AVX2_PATHS)
  const bool avx2 = __builtin_cpu_supports("avx2") && !g_baseline_only;
  const SlotRows rows = avx2 ? SlotRowsOf(cols, slots, 1) : SlotRows{};
  const SlotRows sampled = avx2 ? SlotRowsOf(cols, slots, kPreviewStep) : SlotRows{};
  const int nsampled = (ncols + kPreviewStep - 1) / kPreviewStep;
#endif
  const auto score_of = [&](const Coefficients& c, double to_beat) {
#if defined(SARN_AVX2_PATHS)
    if (avx2)
      return ScoreAvx2(rows, ncols, c, to_beat);
#endif
    return ScoreBaseline(cols, slots, c, to_beat);
  };
  double best_preview = 0;
  for (int round = 0; round < kRansacRounds; ++round) {
    // The first point from the middle third, of either tone; the others of
    // its tone (a few columns tried in each outer third).
    std::array<Point, 3> p{};
    int tone = -1;
    bool drawn = true;
    for (const std::size_t s : {std::size_t{1}, std::size_t{0}, std::size_t{2}}) {
      int k = -1;
      std::size_t i = 0;
      for (int tries = 0; tries < kToneTries && k < 0; ++tries) {
        i = static_cast<std::size_t>(
            thirds[s][static_cast<std::size_t>(random.Below(static_cast<int>(thirds[s].size())))]);
        k = PickSlot(slots[i], tone, random);
      }
      if (k < 0) {
        drawn = false;
        break;
      }
      tone = slots[i].bright[static_cast<std::size_t>(k)] ? 1 : 0;
      p[s] = {cols[i].u, slots[i].y[static_cast<std::size_t>(k)]};
    }
    if (!drawn)
      continue;
    // The parabola through the three points.
    const double s12 = (p[1].y - p[0].y) / (p[1].u - p[0].u);
    const double s13 = (p[2].y - p[0].y) / (p[2].u - p[0].u);
    Coefficients c{};
    c[2] = (s13 - s12) / (p[2].u - p[1].u);
    c[1] = s12 - c[2] * (p[0].u + p[1].u);
    c[0] = p[0].y - c[1] * p[0].u - c[2] * p[0].u * p[0].u;
    if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(c[2]))
      continue;
    // A quick look at every kPreviewStep-th column first: a model that
    // scores less than half of the best one's there is not scored in full.
    double preview = 0;
#if defined(SARN_AVX2_PATHS)
    if (avx2) {
      preview = ScoreAvx2(sampled, nsampled, c, -std::numeric_limits<double>::infinity()).strength;
    } else
#endif
    {
      for (int i = 0; i < ncols; i += kPreviewStep) {
        const auto ii = static_cast<std::size_t>(i);
        int slot = 0;
        if (NearestDistance(slots[ii], EvaluateParabola(c, cols[ii].u), &slot) <=
            kConsensusTolerancePx)
          preview += slots[ii].strength[static_cast<std::size_t>(slot)];
      }
    }
    if (preview < 0.5 * best_preview)
      continue;
    // Stops once it cannot win any more (a weight is at most 1).
    const Score score = score_of(c, best.strength);
    if (score.strength > best.strength) {
      best_preview = preview;
      best.c = c;
      best.support = score.support;
      best.strength = score.strength;
      best.found = true;
    }
  }
  // The best parabola through three candidates, polished: refitted by
  // weighted least squares to the candidates it gathers, as long as that
  // gathers more weight (at most kPolishRounds times). A parabola through
  // three candidates follows the conductor well only near them; the refit
  // follows all of it, whichever three were drawn.
  constexpr int kPolishRounds = 3;
  std::vector<Point> gathered;
  for (int round = 0; best.found && round < kPolishRounds; ++round) {
    gathered.clear();
    for (std::size_t i = 0; i < cols.size(); ++i) {
      int slot = 0;
      if (NearestDistance(slots[i], EvaluateParabola(best.c, cols[i].u), &slot) <=
          kConsensusTolerancePx)
        gathered.push_back({cols[i].u, slots[i].y[static_cast<std::size_t>(slot)],
                            slots[i].strength[static_cast<std::size_t>(slot)] + kPickFloor});
    }
    Coefficients c{};
    if (!FitPolynomial(gathered, {}, 3, &c))
      break;
    const Score score = score_of(c, -std::numeric_limits<double>::infinity());
    if (score.strength <= best.strength)
      break;
    best.c = c;
    best.support = score.support;
    best.strength = score.strength;
  }
  return best;
}

// The curve's mean row over the span.
double MeanRow(const Coefficients& c) {
  double sum = 0;
  constexpr int kSteps = 16;
  for (int s = 0; s <= kSteps; ++s)
    sum += Evaluate(c, -1.0 + 2.0 * s / kSteps);
  return sum / (kSteps + 1);
}

}  // namespace

void BaselineOnlyForTest(bool on) {
  g_baseline_only = on;
}

std::vector<ColumnSlots> SlotsOf(const std::vector<CoarseColumn>& cols,
                                 const std::vector<Candidate>& cands) {
  std::vector<ColumnSlots> slots(cols.size());
  for (std::size_t i = 0; i < cols.size(); ++i) {
    slots[i].y.fill(std::numeric_limits<double>::infinity());
    slots[i].strength.fill(0);
    slots[i].bright.fill(false);
    for (int k = 0; k < cols[i].count && k < kSlots; ++k) {
      const Candidate& cand = cands[static_cast<std::size_t>(cols[i].first + k)];
      slots[i].y[static_cast<std::size_t>(k)] = cand.y;
      slots[i].strength[static_cast<std::size_t>(k)] = cand.strength;
      slots[i].bright[static_cast<std::size_t>(k)] = cand.bright;
    }
  }
  return slots;
}

int SupportOf(const std::vector<CoarseColumn>& cols, const std::vector<ColumnSlots>& slots,
              const Coefficients& c, double tol, const Coefficients* also) {
  int support = 0;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    int slot = 0;
    support += NearestDistance(slots[i], Evaluate(c, cols[i].u), &slot) <= tol ||
                       (also != nullptr &&
                        NearestDistance(slots[i], Evaluate(*also, cols[i].u), &slot) <= tol)
                   ? 1
                   : 0;
  }
  return support;
}

double CandidatesPerColumn(const CandidateSet& set) {
  return set.columns_read > 0 ? static_cast<double>(set.cands.size()) / set.columns_read : 0;
}

std::vector<Consensus> ConductorCurves(const CandidateSet& set,
                                       const std::vector<ColumnSlots>& slots, double span_px) {
  Random random;
  std::vector<ColumnSlots> remaining = slots;
  const double per_column = CandidatesPerColumn(set);
  std::vector<Consensus> out;
  for (int k = 0; k < kMaxConductorCurves; ++k) {
    Consensus best = FindConsensus(set.cols, remaining, random);
    if (!best.found || best.support < 10)
      break;
    best.log10_nfa =
        Log10Nfa(set.columns_read, best.support, span_px, per_column, kConsensusTolerancePx);
    out.push_back(best);
    for (std::size_t i = 0; i < set.cols.size(); ++i) {
      for (double& y : remaining[i].y) {
        if (std::fabs(y - Evaluate(best.c, set.cols[i].u)) <= kConsensusTolerancePx)
          y = std::numeric_limits<double>::infinity();
      }
    }
  }
  // A conductor is seen along most of the span: a curve with less than
  // kConductorSupportShare of the best one's columns is a fragment (a lit
  // edge, a horizon, a streak of texture), not a conductor.
  int most = 0;
  for (const Consensus& c : out)
    most = std::max(most, c.log10_nfa < kMaxLog10Nfa ? c.support : 0);
  for (Consensus& c : out)
    c.conductor = c.log10_nfa < kMaxLog10Nfa && c.support >= kConductorSupportShare * most;
  std::stable_sort(out.begin(), out.end(), [](const Consensus& a, const Consensus& b) {
    return MeanRow(a.c) < MeanRow(b.c);
  });
  return out;
}

const Consensus* FainterLineAbove(const std::vector<Consensus>& curves, const Consensus& chosen,
                                  bool chosen_faint) {
  const double limit = chosen_faint ? kNearlyCredibleLog10Nfa : kMaxLog10Nfa;
  for (const Consensus& c : curves) {
    if (!c.conductor && c.log10_nfa < limit && c.support >= kFainterSupportShare * chosen.support &&
        MeanRow(c.c) < MeanRow(chosen.c) - kFainterGapPx)
      return &c;
  }
  return nullptr;
}

const Consensus* ConductorBelow(const std::vector<Consensus>& curves, const Consensus& chosen) {
  const double row = MeanRow(chosen.c);
  const Consensus* below = nullptr;
  for (const Consensus& c : curves) {
    const double gap = MeanRow(c.c) - row;
    if (c.conductor && gap >= kFainterGapPx && gap <= kNeighbourRows &&
        (below == nullptr || MeanRow(c.c) < MeanRow(below->c)))
      below = &c;
  }
  return below;
}

std::vector<Consensus> CurvesBesideConductor(const std::vector<Consensus>& curves,
                                             const Consensus& chosen, const Coefficients& traced,
                                             double half_extent) {
  const double row = MeanRow(traced);
  std::vector<Consensus> out;
  out.reserve(curves.size());
  for (const Consensus& c : curves) {
    if (&c == &chosen || std::fabs(MeanRow(c.c) - row) > half_extent)
      out.push_back(c);
  }
  return out;
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
  // The most frequent width, or a narrower one with at least half its
  // count: a wider box also answers a thin line, with the background beside
  // it in its core (foliage near a crown line pulls its centre).
  const int most = *std::max_element(width_count.begin(), width_count.end());
  *width = 0;
  while (width_count[static_cast<std::size_t>(*width)] * 2 < most)
    ++*width;
  return c;
}

}  // namespace sarn::precision
