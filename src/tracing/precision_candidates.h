#pragma once

// Candidates of precision tracing: on up to kCoarseColumns columns spread
// evenly over the span, the band below the drawn line is searched for thin
// or thick lines darker (or brighter) than both their neighbours, measured at
// seven widths (1 to 41 rows) by the box contrast
//   R = min(mean(above) - mean(core), mean(below) - mean(core))
// (sign reversed for a brighter line), brightness R + G + B. A step edge has
// one flank like the core and so gives R near 0. A response counts only when
// R stands at least kMinSignalToNoise times above the roughness of its
// flanks; its weight grows with that ratio. The three best local maxima of
// each sign per column are kept.

#include <vector>

#include "tracing/precision_common.h"

namespace sarn::precision {

inline constexpr int kCoarseColumns = 600;    // columns that give consensus candidates
inline constexpr int kCandidatesPerSign = 3;  // strongest line responses kept per sign and column

struct CandidateSet {
  std::vector<CoarseColumn> cols;  // columns with at least one candidate
  std::vector<Candidate> cands;
  int columns_read = 0;  // coarse columns searched
  // Line responses that counted (both signs, kept or not) over all searched
  // columns: responses / (columns_read x kBand) is the band's own rate of
  // line-like responses per row, the background model of the credibility test.
  int responses = 0;
  double ResponsesPerRow() const {
    return columns_read > 0 ? static_cast<double>(responses) / (columns_read * double{kBand}) : 0;
  }
};

// With `colour`, the band is read as each pixel's ColourDistance from the
// conductor's colour instead of its brightness.
CandidateSet FindCandidates(const ImageView& image, const SpanFrame& span,
                            const ColourKey* colour = nullptr);

}  // namespace sarn::precision
