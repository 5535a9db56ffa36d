#pragma once

// Credibility of precision tracing: an a-contrario test, as the line-segment
// detector of von Gioi et al. controls its false detections. The background
// model is estimated from the band itself: its line-like responses are taken
// as scattered independently and uniformly over the band's rows, at the rate
// the band shows (m kept candidates per column on average, of kBand rows).
// A sample (a group of neighbouring coarse columns, kColumnsPerSample working
// pixels wide, counted as one because texture and JPEG blocks correlate
// neighbours) then supports a given curve by chance with probability
//   p = 1 - (1 - (2 tol + 1) / kBand)^m
// (some candidate within tol rows of the curve). A curve supported by k of n
// samples has the number of false alarms
//   NFA = N_tests x P[Binomial(n, p) >= k],
// N_tests = kBand^3 x kMaxConductorCurves: the parabolas a consensus can
// propose (three free rows in the band) for each curve it proposes. A curve
// is credible only when NFA < 1 (log10 NFA < 0), at tol = 3 px for the
// consensus curves and tol = 1.5 px for the fitted curve: a curve that
// texture alone could produce once in the band is refused. A conductor set
// apart from its background by colour (precision::ConductorColour) is
// tested twice, on the band read in brightness and in its colour distance
// (each with its own candidates and rate m): the lower NFA counts, times 2
// for the choice between the two tests. A conductor of core 9 rows or more
// is likewise tested twice, among all the candidates and among those of
// boxes at most one width narrower than its own (fine texture answers the
// narrow boxes), its NFA doubled too. Where the conductor's middle lies off
// the line the consensus followed (a lit top), the candidates are also
// counted along that line, and along either line at once (p formed for the
// union of the two windows), each count paying for the offset chosen; the
// best of the three counts, times 3.

#include <vector>

#include "tracing/precision_common.h"
#include "tracing/precision_trace.h"

namespace sarn::precision {

inline constexpr int kMaxConductorCurves = 4;  // consensus curves proposed per trace
inline constexpr int kColumnsPerSample = 8;    // working px counted as one independent sample
inline constexpr double kMaxLog10Nfa = 0.0;    // credible when log10 NFA is below this

// log10 of P[Binomial(n, p) >= k]; 0 for k <= 0.
double Log10BinomialTail(int n, int k, double p);

// log10 NFA of a curve supported by `supported` of `columns` coarse columns
// spread over `span_px` working-image columns, with `candidates_per_column`
// kept candidates per column on average and tolerance `tol` rows.
double Log10Nfa(int columns, int supported, double span_px, double candidates_per_column,
                double tol);

// The tests of a fitted curve's stations and ends against the centres it
// was fitted to (`inliers`, u in the span's frame); each is stated in full
// beside its code.
//
// The first station not backed by the conductor seen around it (enough
// inliers near it, weighing enough, or the conductor seen along the curve
// there, precision_centres.h SeenAlong; at an end, a curve fitted without
// that end's centres agreeing with it), or -1. `curve` is the fitted curve,
// `width` the conductor's width (index into kWidths).
int UnsupportedStation(const PrecisionTrace& out, const SpanFrame& span,
                       const std::vector<Point>& inliers, const ImageView& image,
                       const Coefficients& curve, int width);

// Whether the curve bends away at an end from the conductor seen over the
// rest of the span.
bool BentEnd(const PrecisionTrace& out, const SpanFrame& span, const std::vector<Point>& inliers,
             const LineWidth& width);

// The RMS scatter, in rows, a credible curve's centres may have around it:
// kMaxCredibleResidualPx, or a sixth of a thick conductor's half core.
double MaxCredibleResidual(const LineWidth& width);

}  // namespace sarn::precision
