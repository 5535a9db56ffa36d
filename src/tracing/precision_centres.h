#pragma once

// Centres of precision tracing. In every step-th column near a model curve
// the strongest line response of the given width within `search` rows is
// taken and its centre found as the centroid of its contrast against a
// background interpolated linearly between the two flanks, recentred until
// it settles. Each column's profile is summed with its `along` neighbours on
// either side, shifted along the curve, so that a conductor before foliage
// stands out of the texture. For an anti-aliased conductor of any thickness
// this centroid is its centre line, unbiased by a brightness gradient; for
// a thick conductor with a lit top and a shaded underside it lies inside
// the conductor, and the edges then place the centre midway between them.

#include <vector>

#include "tracing/precision_common.h"

namespace sarn::precision {

inline constexpr int kSearchHalfRows = 3;  // rows searched either side of the model
// Each pass sums a column's profile with this many neighbours on either
// side, aligned along the curve.
inline constexpr int kAlongColumns = 4;

// The centres of every step-th column of the span near `model` (in the
// frame `frame`), within `search` rows, from profiles summed over
// 2 along + 1 columns.
std::vector<Point> CollectCentres(const ImageView& image, int xa, int xb, int step,
                                  const SpanFrame& frame, const Coefficients& model, int search,
                                  int along, const LineWidth& width);

}  // namespace sarn::precision
