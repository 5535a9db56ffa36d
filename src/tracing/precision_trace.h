#pragma once

// Precision tracing: the conductor followed across every working-image column
// between the drawn line's ends, located to a fraction of a pixel in each,
// and fitted with one smooth curve, from which the rows at the nine scan
// stations are read.
//
// Coordinates are working-image pixel indices: pixel (x, y) has its centre at
// (x, y), so a fractional row compares directly with the scan's WireY.
//
// The method, for one drawn line:
//  1. Band. Each column is searched from 4 rows above the drawn line down to
//     kPrecisionBandRows rows below it: the 202 rows the scan reads (the user
//     draws the line so that the conductor lies within them), plus room for a
//     10 px conductor whose top edge lies at the end of the scan's reach and
//     for the flanks that measure its background. Nothing outside the band
//     is read: objects further below (a second conductor, the ground) cannot
//     be taken for the conductor.
//  2. Candidates, on 600 columns spread evenly over the span. A thin line
//     darker (or brighter) than both its neighbours is measured at four
//     widths (1, 3, 5 and 9 rows) by the box contrast
//       R = min(mean(above) - mean(core), mean(below) - mean(core))
//     (sign reversed for a brighter line), brightness R + G + B. A step edge
//     (tree line, hill, pole side, cloud edge) has one flank like the core and
//     so gives R near 0. A response counts only when R stands at least twice
//     above the roughness of its flanks (foliage and noise are rough, a sky is
//     not); its weight grows with that ratio. The three best local maxima of
//     each sign per column are kept.
//  3. Consensus. RANSAC over the candidates: 200 parabolas through one
//     candidate from each third of the span, scored by the summed weights of
//     the columns with a candidate within 3 px. The best curve's candidates
//     are then removed and the search repeated; a second curve running
//     roughly parallel above the first with at least 60 % of its columns and
//     weight is the upper conductor and is taken instead (a second conductor
//     hangs below the first; the user draws above the first). The winner is
//     refined by weighted least squares on its candidates (a parabola, then a
//     quartic), the tolerance narrowing to 2 px.
//  4. Centres. In every third column near the consensus curve, then in every
//     column near the robust quartic fitted to those (step 5), the strongest
//     line response within 3 (then 2) rows is taken and its centre found as
//     the centroid of its contrast against a background interpolated linearly
//     between the two flanks, recentred until it settles. In the second pass
//     each column's profile is summed with its 4 neighbours on either side,
//     shifted along the curve, so that a conductor before foliage stands out
//     of the texture. For an anti-aliased conductor of any thickness this
//     centroid is its centre line, unbiased by a brightness gradient.
//  5. Fit. A quartic y(u) = c0 + c1 u + ... + c4 u^4 in the chord frame
//     u = (x - centre_x) / half_width, u in [-1, 1] between the ends, by
//     iteratively reweighted least squares (Tukey's biweight, scale from the
//     median absolute residual, each column also weighted by its contrast
//     over roughness), then weighted least squares over the inliers
//     (residual within max(1 px, 3 sigma)). The quartic term holds a catenary
//     (its x^4 term is sag^3 / (3 half_width^2), 0.15 px at 110 px of sag
//     over 3400 px) and a camera roll of a few degrees (a cubic term).
//
// Cost, for a span of N columns and a band of B = 216 rows: the candidates
// read 600 x B pixels, 32 columns at a time and row by row so that memory
// streams, into prefix sums held with one lane per column; the four box
// contrasts of a row are formed for all 32 columns at once in whole numbers
// by loops the compiler vectorises (SSE2, which every x86-64 has, so no
// dispatch by processor), and so are the flags of the local maxima; the
// maxima's signal-to-noise ratios come from prefix sums of the brightness
// and of its square, all formed before any is ranked. The consensus makes
// at most 2 x 200 x 600 x 6 distance tests on candidates held in six fixed
// slots per column (fewer: a model that fails a look at every 8th column is
// dropped).
// The centres read the band of about 35 rows around the curve once per
// 64-column tile, held column by column, and sum 9 x 35 values per column in
// vectorised chunks of 8 rows (N / 3 + N columns); each step of a centroid
// is O(1) from prefix sums of the profile and of its first moment. Each fit
// is O(N) per iteration (at most 8), nine power sums per point. Memory is
// O(N + 32 B). On a 5000 x 1667 working image with a span of 4800 columns
// this is about 6.6 ms of CPU time for a first trace in a fresh process
// (release build, on the shared 2-core machine): the candidates 2.6 ms
// (reading pixels 0.7, contrasts 0.7, maxima and ratios 1.2), the consensus
// 0.8, the centres 0.7 + 1.4, the fits 0.9. Fewer candidate columns (320 or
// 400) would shorten the first part but let foliage mislead the consensus in
// one of the tree-line test scenes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "state/failure.h"
#include "tracing/scan.h"

namespace sarn {

// A read-only view of the working image: width x height pixels, rows top to
// bottom without padding, each 0xFFRRGGBB (as sarn::Raster holds them). The
// caller keeps the pixels alive during the call.
struct ImageView {
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
};

inline constexpr int kPrecisionBandRows = 212;  // rows searched below the drawn line
inline constexpr int kPrecisionCurveTerms = 5;  // quartic

// The fitted conductor: row(x) = sum_k coefficients[k] * u^k with
// u = (x - centre_x) / half_width (working-image pixels).
struct PrecisionCurve {
  double centre_x = 0;
  double half_width = 1;
  std::array<double, kPrecisionCurveTerms> coefficients{};
  double RowAt(double x) const;
};

struct CurvePoint {
  float x = 0, y = 0;  // working-image pixels
};

struct PrecisionTrace {
  // False when no credible curve was found; `why` then says why (an entry
  // of the message catalogue, in English or Japanese), `reason` is its
  // English text, and no sag should be shown from this trace.
  bool credible = false;
  std::optional<Failure> why;
  std::string reason;

  bool fitted = false;  // a curve exists (possibly not credible); the fields below hold it
  PrecisionCurve curve;
  std::vector<CurvePoint> polyline;  // the curve from the first to the last column, for drawing
  // The curve's row at the nine stations' columns StationColumn(line, img_scale, i).
  std::array<float, kStations> StationRows{};
  std::array<int32_t, kStations> StationX{};

  float residual_px = 0;   // RMS of the inliers' distances from the curve, rows
  float columns_used = 0;  // share (0..1) of the columns between the ends that are inliers
  int columns_total = 0;   // columns between the line's ends (inclusive)
  // p of the full chord, StationRows(4) - (StationRows(0) + StationRows(8)) / 2,
  // and its standard uncertainty from the fit's covariance at the middle
  // station and the chord's ends, with neighbouring columns counted as one
  // independent sample per 8 (JPEG blocks and background texture correlate
  // neighbouring columns). Rows; times metres per pixel gives metres.
  float sag_px = 0;
  float sag_uncertainty_px = 0;
};

// A trace is credible when at least this share of the columns agree, some
// of them (2 % of the span's columns) lie in each outer quarter of the span,
// and their RMS distance from the curve is at most kMaxCredibleResidualPx.
inline constexpr float kMinCredibleColumnShare = 0.35f;
inline constexpr float kMaxCredibleResidualPx = 1.5f;

// Traces the conductor below `line` (overview units; working-image pixels =
// overview units x img_scale, as for RunScan). Pure: reads `image` only.
PrecisionTrace TracePrecisely(const ImageView& image, const ScanLine& line, float img_scale);

}  // namespace sarn
