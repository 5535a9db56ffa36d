#pragma once

// Precision tracing: the conductor followed across every working-image column
// between the drawn line's ends, located to a fraction of a pixel in each,
// and fitted with one smooth curve, from which the rows at the nine scan
// stations are read.
//
// Coordinates are working-image pixel indices: pixel (x, y) has its centre at
// (x, y), so a fractional row compares directly with the scan's WireY.
//
// The method, for one drawn line, in stages each with its own file:
//  1. Band. Each column is searched from 4 rows above the drawn line down to
//     kPrecisionBandRows rows below it: the 202 rows the scan reads, plus
//     room for the flanks that measure a conductor's background.
//  2. Candidates (precision_candidates.h): on 600 columns spread over the
//     span, lines darker or brighter than both flanks at seven widths from
//     1 to 41 rows (a conductor up to 40 px thick), weighted by their
//     contrast over the roughness of their flanks; a wide response is
//     placed at the middle of its plateau.
//  3. Consensus and the choice of conductor (precision_consensus.h): RANSAC
//     parabolas over the candidates, up to four curves in turn; of those
//     that pass the a-contrario test and are seen along at least half as many
//     columns as the best, the nearest one below the drawn line; when it
//     fails the final tests the trace is refused, never a conductor further
//     below followed instead (but when it proves the gap between two
//     conductors, the upper of the two, just above it, is followed, and
//     taken if it passes every test; so is a line of its tone seen along
//     it between it and the drawn line, and a fainter consensus curve above
//     it).
//  4. Centres (precision_centres.h): the conductor's width from its mean
//     profile along the curve (the widest box that still answers nearly in
//     full, which also moves the curve from a lit stripe to the conductor's
//     middle); then in every column near the curve, in a profile summed
//     along the curve over 9 columns, the centroid of the line's contrast
//     against its flanks, and for a conductor 5 px thick or more (or a
//     thinner one before a smooth background) the middle between its two
//     edges; for one about 12 px thick or more whose centre so found
//     strays from the curve (a lit top brighter than the background pulls
//     the centroid onto the shaded underside), the middle between the
//     edges found about its strongest box response, when that middle is of
//     the conductor's tone. Where a lit top and a darker body cancel in the
//     full box's contrast, the width is read from the rows' departure from
//     the background either way; where a lit top brighter than the
//     background and a darker body read as two lines of opposite tone, the
//     width spans both (the part of the other tone on the lit side, above
//     a dark conductor's middle), and each column's edge on that side is
//     sought beyond the lit stripe. A conductor 5 px thick or more whose colour
//     (brightness left out) is one along the span and differs from its
//     background's is also sought in that colour distance where brightness
//     finds it weakly or not at all (a background as bright as the
//     conductor), twice more within half its core, the curve refitted each
//     time.
//  5. Fit (precision_fit.h): a quartic in the chord frame by iteratively
//     reweighted least squares (Tukey's biweight), then least squares over
//     the inliers.
//  6. Credibility (precision_credibility.h): an a-contrario test. The
//     band's own line-like responses are the background model: with m kept
//     candidates per column among kBand = 216 rows, a column supports a
//     given curve by chance with probability p = 1 - (1 - (2 tol + 1) /
//     kBand)^m. Columns are grouped into independent samples 8 working px
//     wide; a curve supported by k of n samples has
//       NFA = kBand^3 x 4 x P[Binomial(n, p) >= k]
//     (the parabolas a consensus can propose, four curves per trace). The
//     fitted curve is credible only when NFA < 1 at tol = 1.5 px (for a
//     conductor sought in colour too, the better of the tests in brightness
//     and in colour, its NFA doubled; for one of core 9 rows or more, the
//     better of the tests among all candidates and among those of boxes at
//     most one width narrower than its own, m their rate, doubled too), and
//     when
//     kMinCredibleColumnShare of the columns agree with it, some lie in each
//     outer quarter and within 4 % of the span of each end, a parabola
//     through the centres off each outer quarter meets the curve at that
//     end (the curve does not bend onto a line of the texture), every station
//     is backed by columns near it (enough of them, and weighing enough;
//     where too few were kept, at a station whose neighbours are backed or
//     short of an end, the conductor must show in the mean profile along the
//     curve there, precision_centres.h SeenAlong), and they scatter at most
//     kMaxCredibleResidualPx (for a thick conductor, whose centres wander
//     with the texture at its edges, a sixth of its half core if that is
//     more). For a thick conductor the candidates are
//     counted within a quarter of its core (tol grows, and p with it), and
//     also along the line they followed when its middle lies elsewhere (the
//     offset, one of 2 (half core + 3) + 1, multiplies that count's N_tests;
//     and along either line at once, p formed for the union of the two
//     windows, with the same N_tests; the best count is taken, and N_tests
//     triples). A line of the
//     conductor's tone between the drawn line and the curve, in the mean
//     profile along it, means a conductor above the one traced; lines of the
//     other tone on either side of it, with the traced core no different
//     from the background above them, mean the gap between two conductors. A
//     curve that passes with NFA above 1e-5 while a conductor seen along
//     more columns runs just below it, not parallel to it, may be a line of
//     the background between the drawn line and the conductor meant; one
//     parallel to it is the upper of two conductors. (Consensus curves that
//     run inside the traced conductor, within half its core of its middle,
//     are its own stripes: a thick conductor's shaded line along its top
//     edge below a lit band, its shaded underside. They count as neither a
//     line above it nor a conductor below it.) A curve that fails is refused
//     with the reason.
//
// Cost: on a 5000 x 1667 working image with a span of 4800 columns, a first
// trace in a fresh process stays within a few milliseconds (see
// bench/chain_bench.cpp): the candidates read 600 x 216 pixels, 32 columns
// at a time, with the box contrasts formed by loops the compiler vectorises;
// the consensus makes at most 4 x 400 x 600 x 6 distance tests (most rounds
// stop after a look at every 8th column); the centres read the band of
// about 80 rows around the curve once per 64-column tile.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// A column's located conductor centre that the final fit kept, with its
// weight in that fit.
struct TracedCentre {
  double x = 0, y = 0;  // working-image pixels
  double weight = 1;
};

struct PrecisionTrace {
  // False when no credible curve was found; `reason` then says why in plain
  // English and no sag should be shown from this trace.
  bool credible = false;
  std::string reason;

  bool fitted = false;  // a curve exists (possibly not credible); the fields below hold it
  PrecisionCurve curve;
  std::vector<CurvePoint> polyline;   // the curve from the first to the last column, for drawing
  std::vector<TracedCentre> centres;  // the final fit's inliers, one per column at most
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
// and their RMS distance from the curve is at most kMaxCredibleResidualPx
// (a sixth of the half core, if more: 2 and 3.3 px for cores of 25 and 41
// rows).
inline constexpr float kMinCredibleColumnShare = 0.35f;
inline constexpr float kMaxCredibleResidualPx = 1.5f;

// The trace's centres moved by `move` (to a lens's undistorted coordinates,
// say) and fitted again with the quartic, weighted as in the trace, in the
// frame u = (x - centre_x) / half_width. A conductor that a lens bent is no
// quartic where the photo shows it, but it is one again where the lens's
// distortion is undone; none when the trace has too few centres or the fit
// is singular.
std::optional<PrecisionCurve> RefitMovedCentres(
    const PrecisionTrace& trace, const std::function<TracedCentre(TracedCentre)>& move,
    double centre_x, double half_width);

// Traces the conductor below `line` (overview units; working-image pixels =
// overview units x img_scale, as for RunScan). Pure: reads `image` only.
PrecisionTrace TracePrecisely(const ImageView& image, const ScanLine& line, float img_scale);

}  // namespace sarn
