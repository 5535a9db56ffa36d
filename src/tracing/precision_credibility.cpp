#include "tracing/precision_credibility.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

}  // namespace sarn::precision
