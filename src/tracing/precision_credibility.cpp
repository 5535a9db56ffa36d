#include "tracing/precision_credibility.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "tracing/precision_centres.h"
#include "tracing/precision_fit.h"

namespace sarn::precision {

double Log10BinomialTail(int n, int k, double p) {
  if (k <= 0)
    return 0;
  if (k > n || p <= 0)
    return -std::numeric_limits<double>::infinity();
  if (p >= 1)
    return 0;
  // Terms from i = k up, each from the last: t(i+1) = t(i) (n - i) / (i + 1) p / (1 - p);
  // summed relative to the first, in natural logarithms.
  const double log_first = std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0) +
                           k * std::log(p) + (n - k) * std::log1p(-p);
  double sum = 1, term = 1;
  for (int i = k; i < n; ++i) {
    term *= static_cast<double>(n - i) / (i + 1) * p / (1 - p);
    sum += term;
    if (term < 1e-12 * sum)
      break;
  }
  return std::min(0.0, (log_first + std::log(sum)) / std::log(10.0));
}

double Log10Nfa(int columns, int supported, double span_px, double candidates_per_column,
                double tol) {
  // Coarse columns per independent sample.
  const double spacing = span_px / std::max(1, columns);
  const int group = std::max(1, static_cast<int>(std::ceil(kColumnsPerSample / spacing)));
  const int n = columns / group, k = supported / group;
  const double window = std::min(1.0, (2 * tol + 1) / kBand);
  const double p = 1 - std::pow(1 - window, std::max(0.0, candidates_per_column));
  const double log10_tests =
      3 * std::log10(double{kBand}) + std::log10(double{kMaxConductorCurves});
  return log10_tests + Log10BinomialTail(n, k, std::clamp(p, 1e-6, 1.0));
}

// Each station's row must come from the conductor seen around it, not from
// the curve carried over from elsewhere: at least kStationSupport of the
// columns within a sixteenth of the span either side of it (inside the
// span) must be inliers, and at a station between the ends their weights
// must add up to kStationWeightSupport of those columns: centres that
// barely stand out of the texture steer the fit little, and the curve there
// is carried over from where the conductor is seen on either side. Such a
// station whose neighbours (its one neighbour, at an end) are supported is
// still taken when the conductor shows along the curve there
// (precision::SeenAlong): its centres were lost to a rough or stepped
// background or to a lit top cancelling its body, not to its absence. At an
// end the curve is carried over from one side only: when the centres there
// weigh less than kEndWeightSupport of the columns (they may follow the
// texture's own fine lines rather than the conductor), the curve fitted
// without them must put the station within kEndAgreementPx, or
// kEndAgreementSigmas standard errors of that curve's row there, of the row
// they give it, and the centres near the next station must weigh at least
// kEndNextWeightSupport of its columns (else the quartic is carried from
// the middle of the span over a quarter of it, and bends on the way; a
// conductor behind a tree line, its centres lighter there, still steers
// it).
// Standard error as for the sag: sqrt(g^T (A^T W A)^-1 g s^2
// kColumnsPerSample), g = (1, u, u^2, ...) at the station. The first station
// that fails, or -1.
constexpr double kStationSupport = 0.07;
constexpr double kStationWeightSupport = 0.05;
constexpr double kEndWeightSupport = 0.15;
constexpr double kEndNextWeightSupport = 0.1;
constexpr double kEndAgreementPx = 0.5;
constexpr double kEndAgreementSigmas = 3;
int UnsupportedStation(const PrecisionTrace& out, const SpanFrame& span,
                       const std::vector<Point>& inliers, const ImageView& image,
                       const Coefficients& curve, int width) {
  const double reach = std::max(2.0, (span.xb - span.xa) / 16.0);
  struct Support {
    double lo, hi;  // columns near the station, inside the span
    int count = 0;
    double weight = 0;
  };
  std::array<Support, kStations> near{};
  for (int i = 0; i < kStations; ++i) {
    const double x = out.StationX[static_cast<std::size_t>(i)];
    Support& s = near[static_cast<std::size_t>(i)];
    s.lo = std::max<double>(span.xa, x - reach);
    s.hi = std::min<double>(span.xb, x + reach);
    for (const Point& p : inliers) {
      const double px = span.centre_x + p.u * span.half_width;
      if (px >= s.lo - 0.5 && px <= s.hi + 0.5) {
        ++s.count;
        s.weight += p.weight;
      }
    }
  }
  const auto supported = [](const Support& s, bool inner) {
    return s.count >= kStationSupport * (s.hi - s.lo + 1) &&
           (!inner || s.weight >= kStationWeightSupport * (s.hi - s.lo + 1));
  };
  for (int i = 0; i < kStations; ++i) {
    const double x = out.StationX[static_cast<std::size_t>(i)];
    const auto [lo, hi, count, weight] = near[static_cast<std::size_t>(i)];
    const bool inner = i > 0 && i < kStations - 1;
    if (count < kStationSupport * (hi - lo + 1) ||
        (inner && weight < kStationWeightSupport * (hi - lo + 1))) {
      // The neighbouring stations' supports (one at an end).
      const bool before = i == 0 || supported(near[static_cast<std::size_t>(i - 1)], true);
      const bool after =
          i == kStations - 1 || supported(near[static_cast<std::size_t>(i + 1)], true);
      if (before && after &&
          precision::SeenAlong(image, span, curve, width, static_cast<int>(std::ceil(lo)),
                               static_cast<int>(std::floor(hi))))
        continue;
      return i;
    }
    if (!inner && weight < kEndWeightSupport * (hi - lo + 1)) {
      const Support& next = near[i == 0 ? 1 : kStations - 2];
      if (next.weight < kEndNextWeightSupport * (next.hi - next.lo + 1))
        return i;
      std::vector<Point> rest;
      rest.reserve(inliers.size());
      for (const Point& p : inliers) {
        const double px = span.centre_x + p.u * span.half_width;
        if (px < lo - 0.5 || px > hi + 0.5)
          rest.push_back(p);
      }
      Coefficients without{};
      precision::Matrix inverse{};
      if (!precision::FitPolynomial(rest, {}, kPrecisionCurveTerms, &without, &inverse))
        return i;
      const double u = span.U(x);
      std::array<double, kPrecisionCurveTerms> g{};
      double power = 1;
      for (double& term : g) {
        term = power;
        power *= u;
      }
      double variance = 0;
      for (std::size_t a = 0; a < g.size(); ++a) {
        for (std::size_t b = 0; b < g.size(); ++b)
          variance += g[a] * inverse[a][b] * g[b];
      }
      double weighted_sum2 = 0;
      for (const Point& p : rest) {
        const double r = p.y - Evaluate(without, p.u);
        weighted_sum2 += p.weight * r * r;
      }
      const double s2 =
          weighted_sum2 / std::max(1.0, static_cast<double>(rest.size()) - kPrecisionCurveTerms);
      const double spread = std::sqrt(std::max(0.0, variance * s2 * precision::kColumnsPerSample));
      const double apart =
          std::fabs(Evaluate(without, u) - out.StationRows[static_cast<std::size_t>(i)]);
      if (apart > std::max(kEndAgreementPx, kEndAgreementSigmas * spread))
        return i;
    }
  }
  return -1;
}

// The scatter a credible curve's centres may have around it, in rows. For a
// wire a few px thick it is the station tolerance itself; a thick
// conductor's centre is the middle between two edges found on the texture
// beside it, which wander with that texture, and its stations count as on
// it anywhere inside its half core, so the bound grows to a sixth of that
// half core (2 rows for a 25-row core, 3.3 for a 41-row one): still far
// below the many rows a curve through texture scatters.
double MaxCredibleResidual(const LineWidth& width) {
  return std::max(double{kMaxCredibleResidualPx}, width.half / 6.0);
}

// Whether the curve bends away at an end from the conductor seen over the
// rest of the span: a parabola fitted to the inliers outside one outer
// quarter (u beyond -0.5, or below 0.5), carried to that end's station,
// must lie within kEndBendPx, kEndBendShare of the span's columns or the
// conductor's half core (whose centres scatter more), whichever is most, of
// the curve's row there. A conductor over the whole span is close to a
// parabola (a catenary of the sags photographed, bent a little by a lens);
// a curve that follows the conductor over most of the span and a line of
// the texture crossing it near an end (a plank's groove, a branch) is not.
constexpr double kEndBendPx = 4.0;
constexpr double kEndBendShare = 0.01;
bool BentEnd(const PrecisionTrace& out, const SpanFrame& span, const std::vector<Point>& inliers,
             const LineWidth& width) {
  const double limit =
      std::max({kEndBendPx, kEndBendShare * out.columns_total, static_cast<double>(width.half)});
  std::vector<Point> rest;
  rest.reserve(inliers.size());
  for (const int end : {0, kStations - 1}) {
    const double side = end == 0 ? -1 : 1;
    rest.clear();
    for (const Point& p : inliers) {
      if (p.u * side < 0.5)
        rest.push_back(p);
    }
    Coefficients c{};
    if (!precision::FitPolynomial(rest, {}, 3, &c))
      return true;
    const auto i = static_cast<std::size_t>(end);
    if (std::fabs(Evaluate(c, span.U(out.StationX[i])) - out.StationRows[i]) > limit)
      return true;
  }
  return false;
}

}  // namespace sarn::precision
