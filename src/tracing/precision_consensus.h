#pragma once

// Consensus of precision tracing and the choice of conductor. RANSAC over
// the candidates: kRansacRounds parabolas through one candidate from each
// third of the span (drawn in proportion to their weights, all three of one
// tone), scored by the summed weights of the columns with a candidate
// within kConsensusTolerancePx; the best one refitted to the candidates it
// gathers while that gathers more weight. The best curve's candidates are
// then removed and the search repeated, up to kMaxConductorCurves curves;
// each must pass the a-contrario test (precision_credibility.h) and have at
// least kConductorSupportShare of the best one's columns. Of those, the
// nearest one below the drawn line (the smallest mean row) is
// the conductor: the user draws just above the conductor meant, and a second
// conductor, the ground or foliage lie further below. The chosen curve is
// refined by weighted least squares on its candidates (a parabola, then a
// quartic), the tolerance narrowing to 2 px.

#include <array>
#include <vector>

#include "tracing/precision_candidates.h"

namespace sarn::precision {

inline constexpr int kRansacRounds = 400;
inline constexpr double kConsensusTolerancePx = 3.0;
inline constexpr double kConductorSupportShare = 0.5;

struct Consensus {
  Coefficients c{};     // parabola (c3 = c4 = 0)
  int support = 0;      // coarse columns with a candidate within the tolerance
  double strength = 0;  // their summed weights
  bool found = false;
  double log10_nfa = 0;    // of its support against the band's own responses
  bool conductor = false;  // passes the a-contrario test and the support share
};

// A coarse column's candidates in fixed slots, in the candidate list's
// order; an empty slot, or one whose candidate has been removed, lies at an
// infinite row. The nearest candidate is then found without branches.
inline constexpr int kSlots = 2 * kCandidatesPerSign;
struct ColumnSlots {
  std::array<double, kSlots> y;
  std::array<double, kSlots> strength;
  std::array<bool, kSlots> bright;
  bool Active(int slot) const { return std::isfinite(y[static_cast<std::size_t>(slot)]); }
};

// Tests: consensus searches from now on score their models with the
// baseline loop even where the processor runs AVX2, so that both can be
// checked to give the same curves.
void BaselineOnlyForTest(bool on);

// The slots of every coarse column, all candidates active.
std::vector<ColumnSlots> SlotsOf(const std::vector<CoarseColumn>& cols,
                                 const std::vector<Candidate>& cands);

// Coarse columns with a candidate within `tol` rows of the curve `c` (or,
// given `also`, of either curve).
int SupportOf(const std::vector<CoarseColumn>& cols, const std::vector<ColumnSlots>& slots,
              const Coefficients& c, double tol, const Coefficients* also = nullptr);

// The band's kept candidates per searched column.
double CandidatesPerColumn(const CandidateSet& set);

// The consensus curves, nearest the drawn line first (the smallest mean
// row), those taken for conductors marked. `span_px` is the span's width in
// working-image columns.
std::vector<Consensus> ConductorCurves(const CandidateSet& set,
                                       const std::vector<ColumnSlots>& slots, double span_px);

// Whether a curve that passes the a-contrario test but not the support
// share, yet is seen along at least kFainterSupportShare of the chosen
// one's columns, runs more than
// kFainterGapPx above it: a fainter conductor may be the one the line was
// drawn for, and the choice is then not safe. When the chosen curve itself
// barely stands out (`chosen_faint`), a curve above that nearly passes the
// test (log10 NFA below kNearlyCredibleLog10Nfa) counts too: the two differ
// too little for the lower one to be taken. That curve, or none.
inline constexpr double kFainterSupportShare = 0.3;
inline constexpr double kFainterGapPx = 12.0;
inline constexpr double kNearlyCredibleLog10Nfa = 2.0;
const Consensus* FainterLineAbove(const std::vector<Consensus>& curves, const Consensus& chosen,
                                  bool chosen_faint);

// The nearest conductor curve below the chosen one by at least
// kFainterGapPx at its mean row (a second curve along the same conductor
// lies nearer) and at most kNeighbourRows; null when there is none.
inline constexpr double kNeighbourRows = 100.0;
const Consensus* ConductorBelow(const std::vector<Consensus>& curves, const Consensus& chosen);

// The curves but those other than `chosen` whose mean row lies within
// `half_extent` rows of the traced conductor's curve `traced`: a thick
// conductor's stripes (the thin shaded line along its top edge below a lit
// band, its shaded underside) are lines of their own to the candidates,
// and their curves run inside the conductor, not beside it as a second
// conductor or a line of the background does.
std::vector<Consensus> CurvesBesideConductor(const std::vector<Consensus>& curves,
                                             const Consensus& chosen, const Coefficients& traced,
                                             double half_extent);

// The candidates of a consensus curve refined by weighted least squares;
// also returns the most frequent line width among them (index into kWidths).
Coefficients RefineConsensus(const std::vector<CoarseColumn>& cols,
                             const std::vector<ColumnSlots>& slots,
                             const std::vector<Candidate>& cands, Coefficients c, int* width);

}  // namespace sarn::precision
