#include "tracing/precision_trace.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

#include "tracing/precision_candidates.h"
#include "tracing/precision_centres.h"
#include "tracing/precision_common.h"
#include "tracing/precision_consensus.h"
#include "tracing/precision_credibility.h"
#include "tracing/precision_fit.h"

namespace sarn {

namespace {

using precision::CandidateSet;
using precision::Coefficients;
using precision::Consensus;
using precision::Evaluate;
using precision::Point;
using precision::SpanFrame;

// The first pass, which only steadies the curve for the second, looks at
// every kFirstPassStep-th column.
constexpr int kFirstPassStep = 3;
// Passes of centres sought in colour too, and the least scale of the first
// fit after the first of them, as a share of the conductor's half core.
constexpr int kColourPasses = 2;
constexpr double kColourFitSigmaShare = 0.5;
constexpr int kMinColumns = 32;  // shortest span traced
constexpr int kPolylineSegments = 128;
// The fitted curve's support is counted within this many rows.
constexpr double kFinalTolerancePx = 1.5;

std::string Percent(double share) {
  char text[16];
  std::snprintf(text, sizeof text, "%.0f", share * 100);
  return text;
}

// The outermost inliers lie within kEndGapShare of the span (at least
// kMinEndGapPx columns) of its first and last column: a quartic carried
// further than that beyond the conductor seen bends away from it; unless,
// up to kEndSeenGaps times as far, the conductor shows along the curve
// carried over the rest (precision::SeenAlong).
constexpr double kEndGapShare = 0.04;
constexpr double kMinEndGapPx = 8;
constexpr double kEndSeenGaps = 3.0;
// The narrowest width (core 9 rows) whose candidates are also counted
// among the wide ones alone.
constexpr int kThickCountWidth = 3;

// A traced curve whose log10 NFA is above kDistinctLog10Nfa (it could
// arise by chance more than once in 100 000 bands) barely stands out of the
// band's texture: when a conductor seen along more columns runs below it,
// not parallel to it (a straight line of the background may lie between
// the drawn line and the sagging conductor meant), which of them was meant
// is not safe to say. A faint conductor parallel to a clearer one below is
// the upper of two conductors of the span, the one the line was drawn for.
constexpr double kDistinctLog10Nfa = -5.0;
// Whatever the traced curve's NFA, a conductor curve just below it seen
// along more than 1 / kSeenMoreShare times its columns, and not running
// parallel to it, makes the choice unsafe: a straight line of the texture
// (a plank's edge, a furrow) may run between the drawn line and a sagging
// conductor, nearer the line than the conductor's middle. Conductors of one
// span run nearly parallel: the rows between the two curves vary along the
// span by at most kParallelPx, or kParallelShare of their mean. The traced
// conductor is taken as fitted through its centres, not as the consensus
// parabola that found it: fitted to the candidates of one stripe (a lit
// top the texture hides over a stretch), that parabola may run 20 rows off
// the conductor at an end.
constexpr double kSeenMoreShare = 0.8;
constexpr double kParallelPx = 6.0;
constexpr double kParallelShare = 0.25;
// A consensus curve within half the traced conductor's core and this many
// rows of its middle runs inside the conductor (its edges blur a row or
// two beyond the core; the conductor may be a little thicker than it).
constexpr double kStripeMarginPx = 3.0;
bool Parallel(const Coefficients& upper, const Coefficients& lower) {
  constexpr int kSteps = 16;
  double least = 1e300, most = -1e300, sum = 0;
  for (int s = 0; s <= kSteps; ++s) {
    const double u = -1.0 + 2.0 * s / kSteps;
    const double gap = Evaluate(lower, u) - Evaluate(upper, u);
    least = std::min(least, gap);
    most = std::max(most, gap);
    sum += gap;
  }
  return most - least <= std::max(kParallelPx, kParallelShare * sum / (kSteps + 1));
}

// One consensus curve followed through centres, the robust fit and the
// credibility tests, into `out` (which holds the stations' columns), and
// the conductor's width (index into kWidths) into `traced_width`; the
// fitted curve's log10 NFA (0 when none was fitted). When the curve is
// refused as the gap between two conductors, or for a line of its tone
// above it, the rows from it up to the middle of the upper conductor, or
// to that line, go into `upper_offset` (if given).
double FollowCurve(const ImageView& image, const SpanFrame& span, const CandidateSet& set,
                   const std::vector<precision::ColumnSlots>& slots, const Consensus& consensus,
                   PrecisionTrace& out, int* traced_width, int* upper_offset = nullptr) {
  const int xa = span.xa, xb = span.xb;
  int width_index = 0;
  Coefficients coarse =
      precision::RefineConsensus(set.cols, slots, set.cands, consensus.c, &width_index);
  const precision::ConductorWidthAt measured =
      precision::ConductorWidth(image, span, coarse, width_index);
  width_index = measured.width;
  coarse[0] += measured.offset;
  const precision::LineWidth width = precision::kWidths[static_cast<std::size_t>(width_index)];
  *traced_width = width_index;

  // The centres in every third column of the span, near the consensus
  // curve; a robust quartic through them; the centres in every column, nearer
  // that quartic, and the robust quartic again. A conductor set apart from
  // its background by colour is also sought in colour where brightness
  // shows it faintly or not at all (precision::ConductorColour); only when
  // the line followed is one solid band (precision::SolidMiddle): the gap
  // between two conductors has the background's colour, and sought in it
  // the curve would wander off along the background.
  precision::ColourKey key;
  const precision::ColourKey* colour =
      precision::SolidMiddle(image, span, coarse, width_index) &&
              precision::ConductorColour(image, span, coarse, width_index, &key)
          ? &key
          : nullptr;
  double sigma = 1;
  const int two_toned = measured.two_toned_rows;
  std::vector<Point> points = precision::CollectCentres(
      image, xa, xb, kFirstPassStep, span, coarse, precision::kSearchHalfRows,
      precision::kAlongColumns, width, colour, -1, two_toned);
  Coefficients c = precision::RobustFit(points, coarse, &sigma);
  points = precision::CollectCentres(image, xa, xb, 1, span, c, 2, precision::kAlongColumns, width,
                                     colour, -1, two_toned);
  c = precision::RobustFit(points, c, &sigma);
  if (colour != nullptr) {
    // Where brightness lost the conductor (a background as bright as it
    // over a stretch, often at an end), the quartic was carried over from
    // elsewhere and may run a few rows off it, too far for the centres
    // sought within two rows: in kColourPasses more passes the colour's
    // centres are sought within the half core (as far as the rows a
    // column's centre reads allow), and the first fit after the first pass
    // takes its scale as at least kColourFitSigmaShare of the half core, so
    // that centres a few rows off the curve keep weight and draw it back;
    // the curve is then fitted as before.
    for (int pass = 0; pass < kColourPasses; ++pass) {
      points = precision::CollectCentres(image, xa, xb, 1, span, c, 2, precision::kAlongColumns,
                                         width, colour, std::max(2, width.half), two_toned);
      if (pass == 0)
        c = precision::RobustFit(points, c, &sigma, kColourFitSigmaShare * width.half);
      c = precision::RobustFit(points, c, &sigma);
    }
  }
  std::vector<Point> inliers;
  inliers.reserve(points.size());
  for (const Point& p : points) {
    if (std::fabs(p.y - Evaluate(c, p.u)) <= std::max(1.0, 3 * sigma))
      inliers.push_back(p);
  }
  precision::Matrix inverse{};
  if (inliers.size() < 2 * kPrecisionCurveTerms ||
      !precision::FitPolynomial(inliers, {}, kPrecisionCurveTerms, &c, &inverse)) {
    out.reason = "No conductor was found in the band below the drawn line.";
    return 0;
  }

  PrecisionCurve& curve = out.curve;
  out.fitted = true;
  curve.coefficients = c;
  double sum2 = 0, weighted_sum2 = 0;
  int near_first = 0, near_last = 0;
  double first_u = 1, last_u = -1;
  for (const Point& p : inliers) {
    const double r = p.y - Evaluate(c, p.u);
    sum2 += r * r;
    weighted_sum2 += p.weight * r * r;
    near_first += p.u < -0.5 ? 1 : 0;
    near_last += p.u > 0.5 ? 1 : 0;
    first_u = std::min(first_u, p.u);
    last_u = std::max(last_u, p.u);
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
    const double u = span.U(out.StationX[i]);
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
      static_cast<float>(std::sqrt(std::max(0.0, variance * s2 * precision::kColumnsPerSample)));

  out.centres.clear();
  out.centres.reserve(inliers.size());
  for (const Point& p : inliers)
    out.centres.push_back({span.centre_x + p.u * span.half_width, p.y, p.weight});

  out.polyline.clear();
  const int segments = std::min(kPolylineSegments, xb - xa);
  out.polyline.reserve(static_cast<std::size_t>(segments) + 1);
  for (int k = 0; k <= segments; ++k) {
    const double x = xa + static_cast<double>(xb - xa) * k / segments;
    out.polyline.push_back({static_cast<float>(x), static_cast<float>(curve.RowAt(x))});
  }

  // Credibility: the a-contrario test of the fitted curve against the
  // band's own responses, then the share, ends and scatter of its columns.
  // When the conductor's middle was moved from the line the candidates
  // followed (a lit stripe or an edge of a thick conductor), the candidates
  // are also counted along that line, the offset, one of the
  // 2 (half core + kSearchHalfRows) + 1 the width's search could choose,
  // multiplying that test's count, and along either line at once; the best
  // of the three tests is taken, and the count triples for the choice. (The
  // centres may as well have
  // settled back on the line the candidates mark, the move being wrong: a
  // thin wire whose lit top shifts its widest full answer.)
  // A thick conductor's candidates lie anywhere on the plateau of its box
  // response: they are counted within a quarter of the width's core of the
  // curve (at least kFinalTolerancePx), and the NFA is formed for that
  // tolerance.
  const double tolerance = std::max(kFinalTolerancePx, width.half / 2.0);
  Coefficients followed = c;
  followed[0] -= measured.offset;
  const int support = precision::SupportOf(set.cols, slots, c, tolerance);
  double log10_nfa = precision::Log10Nfa(set.columns_read, support, xb - xa + 1,
                                         precision::CandidatesPerColumn(set), tolerance);
  if (measured.offset != 0) {
    const double offset_tests = std::log10(2.0 * (width.half + precision::kSearchHalfRows) + 1);
    const int along_followed = precision::SupportOf(set.cols, slots, followed, tolerance);
    const double followed_log10_nfa =
        precision::Log10Nfa(set.columns_read, along_followed, xb - xa + 1,
                            precision::CandidatesPerColumn(set), tolerance) +
        offset_tests;
    // Both lines at once: a thick or two-toned conductor marks its body in
    // some columns and the line followed (its lit top) in others, as the
    // texture beside it outranks one or the other. Either window of 2 tol + 1
    // rows may hold a candidate, so p is formed for their union.
    const int along_both = precision::SupportOf(set.cols, slots, c, tolerance, &followed);
    const double union_rows =
        std::min(2 * (2 * tolerance + 1), 2 * tolerance + 1 + std::fabs(measured.offset));
    const double both_log10_nfa =
        precision::Log10Nfa(set.columns_read, along_both, xb - xa + 1,
                            precision::CandidatesPerColumn(set), (union_rows - 1) / 2) +
        offset_tests;
    log10_nfa = std::min({log10_nfa, followed_log10_nfa, both_log10_nfa}) + std::log10(3.0);
  }
  // The NFA of a second test of the curve, against other candidates of the
  // band, its count doubled for the choice between two tests.
  const auto second_test = [&](const CandidateSet& among) {
    const std::vector<precision::ColumnSlots> among_slots =
        precision::SlotsOf(among.cols, among.cands);
    return precision::Log10Nfa(among.columns_read,
                               precision::SupportOf(among.cols, among_slots, c, tolerance),
                               xb - xa + 1, precision::CandidatesPerColumn(among), tolerance) +
           std::log10(2.0);
  };
  if (colour != nullptr) {
    // The curve is tested twice, against the band's responses in brightness
    // and in colour (the same test on the band read as ColourDistance): the
    // better counts, the count of false alarms doubling for the choice.
    log10_nfa += std::log10(2.0);
    if (log10_nfa >= precision::kMaxLog10Nfa) {
      log10_nfa = std::min(log10_nfa, second_test(precision::FindCandidates(image, span, colour)));
    }
  }
  if (width_index >= kThickCountWidth) {
    // A thick conductor is tested twice, against all the band's responses
    // and against those of boxes at most one width narrower than its own
    // (their rate per column the background model): fine texture answers
    // narrow boxes, and a 25-row conductor stands out among the few wide
    // answers even where the sky beside it is as grey as it. The better
    // counts, the count of false alarms doubling for the choice.
    log10_nfa += std::log10(2.0);
    if (log10_nfa >= precision::kMaxLog10Nfa) {
      CandidateSet thick;
      thick.columns_read = set.columns_read;
      for (const precision::CoarseColumn& col : set.cols) {
        precision::CoarseColumn kept{col.u, static_cast<int>(thick.cands.size()), 0};
        for (int j = col.first; j < col.first + col.count; ++j) {
          const precision::Candidate& cand = set.cands[static_cast<std::size_t>(j)];
          if (cand.width >= width_index - 1) {
            thick.cands.push_back(cand);
            ++kept.count;
          }
        }
        if (kept.count > 0)
          thick.cols.push_back(kept);
      }
      log10_nfa = std::min(log10_nfa, second_test(thick));
    }
  }
  const double share = out.columns_used;
  const double quarter = 0.02 * out.columns_total;
  const double end_gap = std::max(kMinEndGapPx, kEndGapShare * out.columns_total);
  // The outermost inlier at an end within end_gap of the line's end, or
  // the conductor seen along the rest (see kEndSeenGaps).
  const double first_x = span.centre_x + first_u * span.half_width;
  const double last_x = span.centre_x + last_u * span.half_width;
  const auto end_reached = [&](double outermost, int end, bool first_end) {
    const double gap = std::fabs(outermost - end);
    if (gap <= end_gap)
      return true;
    if (gap > kEndSeenGaps * end_gap)
      return false;
    return first_end ? precision::SeenAlong(image, span, c, width_index, end,
                                            static_cast<int>(std::ceil(outermost)))
                     : precision::SeenAlong(image, span, c, width_index,
                                            static_cast<int>(std::floor(outermost)), end);
  };
  if (log10_nfa >= precision::kMaxLog10Nfa) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "The traced curve stands out of the band's own texture too little: it could "
                  "arise by chance %.2g times; less than once is credible.",
                  std::pow(10.0, log10_nfa));
    out.reason = text;
  } else if (share < kMinCredibleColumnShare) {
    out.reason = "Only " + Percent(share) +
                 " % of the columns between the line's ends agree on one conductor curve; at "
                 "least " +
                 Percent(kMinCredibleColumnShare) + " % must.";
  } else if (near_first < quarter || near_last < quarter || !end_reached(first_x, xa, true) ||
             !end_reached(last_x, xb, false) || precision::BentEnd(out, span, inliers, width)) {
    out.reason = "The conductor was not found near one end of the drawn line.";
  } else if (const int bare =
                 precision::UnsupportedStation(out, span, inliers, image, c, width_index);
             bare >= 0) {
    out.reason = "The conductor was not found near station " + std::to_string(bare) + ".";
  } else if (const double most = precision::MaxCredibleResidual(width); out.residual_px > most) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "The conductor's points scatter %.2f px around the fitted curve; at most %.1f "
                  "px is credible.",
                  double{out.residual_px}, most);
    out.reason = text;
  } else if (precision::BetweenOppositeLines(image, span, c, width_index, upper_offset)) {
    out.reason =
        "The traced line lies between two lines of the opposite tone, as the gap between two "
        "conductors does; draw the line just above the conductor meant.";
  } else if (precision::LineAboveConductor(image, span, c, width_index, upper_offset)) {
    out.reason =
        "A fainter line runs above the traced conductor; draw the line just above the "
        "conductor meant.";
  } else {
    out.credible = true;
    out.reason.clear();
  }
  return log10_nfa;
}

}  // namespace

std::optional<PrecisionCurve> RefitMovedCentres(
    const PrecisionTrace& trace, const std::function<TracedCentre(TracedCentre)>& move,
    double centre_x, double half_width) {
  if (!(half_width > 0) || trace.centres.size() < 2 * kPrecisionCurveTerms)
    return std::nullopt;
  std::vector<Point> points;
  points.reserve(trace.centres.size());
  for (const TracedCentre& c : trace.centres) {
    const TracedCentre moved = move(c);
    points.push_back({(moved.x - centre_x) / half_width, moved.y, moved.weight});
  }
  PrecisionCurve curve;
  curve.centre_x = centre_x;
  curve.half_width = half_width;
  if (!precision::FitPolynomial(points, {}, kPrecisionCurveTerms, &curve.coefficients))
    return std::nullopt;
  return curve;
}

double PrecisionCurve::RowAt(double x) const {
  return Evaluate(coefficients, (x - centre_x) / half_width);
}

PrecisionTrace TracePrecisely(const ImageView& image, const ScanLine& line, float img_scale) {
  PrecisionTrace out;
  for (int i = 0; i < kStations; ++i)
    out.StationX[static_cast<std::size_t>(i)] = StationColumn(line, img_scale, i);
  if (image.pixels == nullptr || image.width <= 0 || image.height <= 0) {
    out.reason = "There is no picture to trace.";
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
    out.reason =
        "The drawn line is too short, or lies outside the picture, to trace the "
        "conductor along it.";
    return out;
  }

  // The drawn line in working-image pixels, and the chord frame: u = -1 at
  // the first column, +1 at the last of the span (whole, even where it
  // leaves the picture).
  SpanFrame span;
  span.xa = static_cast<int>(first);
  span.xb = static_cast<int>(last);
  const double s = img_scale;
  span.lx1 = double{line.X1} * s;
  span.ly1 = double{line.Y1} * s;
  span.lx2 = double{line.X2} * s;
  span.ly2 = double{line.Y2} * s;
  span.centre_x = (static_cast<double>(end_a) + static_cast<double>(end_b)) / 2;
  span.half_width = std::max(0.5, std::fabs(static_cast<double>(end_b - end_a)) / 2);
  out.curve.centre_x = span.centre_x;
  out.curve.half_width = span.half_width;

  const CandidateSet set = precision::FindCandidates(image, span);
  const std::vector<precision::ColumnSlots> slots = precision::SlotsOf(set.cols, set.cands);
  const std::vector<Consensus> curves =
      precision::ConductorCurves(set, slots, span.xb - span.xa + 1);
  const auto chosen =
      std::find_if(curves.begin(), curves.end(), [](const Consensus& c) { return c.conductor; });
  if (chosen == curves.end()) {
    out.reason = "No conductor was found in the band below the drawn line.";
    return out;
  }
  // The nearest conductor below the line. When it fails the final tests the
  // trace is refused: a conductor further below is not the one the line
  // was drawn for. (Following the next one below when the nearest proved no
  // line at all refused three fewer composites of the accuracy campaign but
  // traced the lower of two conductors, credibly, where the upper one could
  // hardly be seen.)
  int traced_width = 0;
  int upper_offset = 0;
  const PrecisionTrace untraced = out;
  double log10_nfa =
      FollowCurve(image, span, set, slots, *chosen, out, &traced_width, &upper_offset);
  // Another consensus curve followed from scratch, for a retry: the trace,
  // its width into `width` and its log10 NFA into `nfa`.
  const auto follow_instead = [&](const Consensus& consensus, int* width, double* nfa) {
    PrecisionTrace retry = untraced;
    *nfa = FollowCurve(image, span, set, slots, consensus, retry, width, nullptr);
    return retry;
  };
  // The gap between two conductors followed, or a conductor with a line of
  // its tone between it and the drawn line: the upper of the two, the line
  // of the other tone just above the gap, or that line, is the nearest
  // conductor below the drawn line. It is followed in turn, from the
  // consensus curve moved onto it, and taken only when it passes every test
  // itself.
  Consensus upper = *chosen;
  const Consensus* chosen_curve = &*chosen;
  if (!out.credible && upper_offset < 0) {
    upper.c[0] += upper_offset;
    upper.support =
        precision::SupportOf(set.cols, slots, upper.c, precision::kConsensusTolerancePx);
    int retry_width = 0;
    double retry_nfa = 0;
    PrecisionTrace retry = follow_instead(upper, &retry_width, &retry_nfa);
    if (retry.credible) {
      out = std::move(retry);
      traced_width = retry_width;
      log10_nfa = retry_nfa;
      chosen_curve = &upper;
    }
  }
  if (!out.credible)
    return out;
  // The tests of a credible trace against the other curves of the
  // consensus; a curve above it that makes the choice unsafe is copied into
  // `fainter` (if given).
  const auto against_others = [&](PrecisionTrace& trace, const Consensus& traced_curve,
                                  int width_index, double nfa, std::optional<Consensus>* fainter) {
    // The other curves beside the traced conductor: when it is one solid
    // band, those that run inside it (within half its core and
    // kStripeMarginPx of its middle) are its own stripes, not a line above
    // it or a conductor below it. (Its mean profile is read only when some
    // curve runs inside it.)
    const double half = precision::kWidths[static_cast<std::size_t>(width_index)].half + 0.5;
    std::vector<Consensus> beside = precision::CurvesBesideConductor(
        curves, traced_curve, trace.curve.coefficients, half + kStripeMarginPx);
    if (beside.size() < curves.size() &&
        !precision::SolidMiddle(image, span, trace.curve.coefficients, width_index))
      beside = curves;
    // A thick conductor's candidates are shared among its stripes (a shaded
    // top edge, a shaded underside), each followed by a curve of its own:
    // the conductor's support is then the coarse columns with a candidate
    // anywhere in its core.
    const int support =
        beside.size() < curves.size()
            ? std::max(traced_curve.support,
                       precision::SupportOf(set.cols, slots, trace.curve.coefficients, half))
            : traced_curve.support;
    if (const Consensus* above =
            precision::FainterLineAbove(beside, traced_curve, nfa > kDistinctLog10Nfa)) {
      trace.credible = false;
      trace.reason =
          "A fainter line runs above the traced conductor; draw the line just above the "
          "conductor meant.";
      if (fainter != nullptr)
        *fainter = *above;
    } else if (const Consensus* below = precision::ConductorBelow(beside, traced_curve);
               below != nullptr && !Parallel(trace.curve.coefficients, below->c)) {
      // A conductor below, not parallel: it is clearer than a traced line
      // that barely stands out, or seen along more of the span.
      if (nfa > kDistinctLog10Nfa && below->support > support) {
        trace.credible = false;
        trace.reason =
            "The traced line barely stands out of the band's texture, and a clearer conductor "
            "runs below it; draw the line just above the conductor meant.";
      } else if (kSeenMoreShare * below->support > traced_curve.support) {
        trace.credible = false;
        trace.reason =
            "A conductor seen along more of the span runs just below the traced line; draw the "
            "line just above the conductor meant.";
      }
    }
  };
  std::optional<Consensus> fainter;
  against_others(out, *chosen_curve, traced_width, log10_nfa, &fainter);
  // A fainter curve above the traced conductor is the nearest line below
  // the drawn one: it is followed in turn and taken when it passes every
  // test itself, the conductor traced first then one below it.
  if (fainter.has_value()) {
    int retry_width = 0;
    double retry_nfa = 0;
    PrecisionTrace retry = follow_instead(*fainter, &retry_width, &retry_nfa);
    if (retry.credible) {
      against_others(retry, *fainter, retry_width, retry_nfa, nullptr);
      if (retry.credible)
        out = std::move(retry);
    }
  }
  return out;
}

}  // namespace sarn
