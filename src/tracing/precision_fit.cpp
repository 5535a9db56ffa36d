#include "tracing/precision_fit.h"

#include <algorithm>
#include <cmath>

namespace sarn::precision {

namespace {

// Solves the normal equations (A^T W A) c = A^T W y for `terms` unknowns by
// Gauss-Jordan elimination with partial pivoting; also returns the inverse of
// A^T W A (for the covariance). False when singular.
bool SolveNormal(
    std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms> m, Coefficients rhs,
    int terms, Coefficients* solution,
    std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms>* inverse) {
  std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms> inv{};
  for (int i = 0; i < terms; ++i)
    inv[i][i] = 1;
  for (int col = 0; col < terms; ++col) {
    int pivot = col;
    for (int r = col + 1; r < terms; ++r) {
      if (std::fabs(m[r][col]) > std::fabs(m[pivot][col]))
        pivot = r;
    }
    if (!(std::fabs(m[pivot][col]) > 1e-12))
      return false;
    std::swap(m[col], m[pivot]);
    std::swap(inv[col], inv[pivot]);
    std::swap(rhs[col], rhs[pivot]);
    const double d = m[col][col];
    for (int k = 0; k < terms; ++k) {
      m[col][k] /= d;
      inv[col][k] /= d;
    }
    rhs[col] /= d;
    for (int r = 0; r < terms; ++r) {
      if (r == col || m[r][col] == 0.0)
        continue;
      const double f = m[r][col];
      for (int k = 0; k < terms; ++k) {
        m[r][k] -= f * m[col][k];
        inv[r][k] -= f * inv[col][k];
      }
      rhs[r] -= f * rhs[col];
    }
  }
  Coefficients c{};
  for (int i = 0; i < terms; ++i)
    c[i] = rhs[i];
  *solution = c;
  if (inverse != nullptr)
    *inverse = inv;
  return true;
}

}  // namespace

// Weighted least squares of a polynomial with `terms` coefficients, from the
// normal equations (A^T W A)[a][b] = sum w u^(a+b), (A^T W y)[a] = sum w y u^a:
// nine power sums per point for a quartic.
bool FitPolynomial(const std::vector<Point>& points, const std::vector<double>& weights, int terms,
                   Coefficients* c, Matrix* inverse) {
  constexpr int kPowers = 2 * kPrecisionCurveTerms - 1;
  std::array<double, kPowers> power_sums{};
  Coefficients rhs{};
  int used = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double w = points[i].weight * (weights.empty() ? 1.0 : weights[i]);
    if (w <= 0)
      continue;
    ++used;
    const double u = points[i].u, y = points[i].y;
    double p = w;  // w u^k
    for (std::size_t k = 0; k < kPowers; ++k) {
      power_sums[k] += p;
      if (k < rhs.size())
        rhs[k] += p * y;
      p *= u;
    }
  }
  if (used < terms)
    return false;
  std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms> m{};
  for (int a = 0; a < terms; ++a) {
    for (int b = 0; b < terms; ++b)
      m[a][b] = power_sums[static_cast<std::size_t>(a + b)];
  }
  return SolveNormal(m, rhs, terms, c, inverse);
}

// Coarse columns whose candidates are formed together. Their profiles are
// held row by row with one lane per column, so that one loop over the lanes
// forms a box contrast for all of them (the compiler vectorises it: the lane

double Median(std::vector<double> v) {
  if (v.empty())
    return 0;
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

// Iteratively reweighted least squares of the quartic from `start`: Tukey's
// biweight with cut-off 4.685 sigma, sigma = 1.4826 x the median absolute
// residual (at least 0.05 px).
Coefficients RobustFit(const std::vector<Point>& points, Coefficients c, double* sigma,
                       double least_sigma) {
  std::vector<double> weights(points.size()), residuals(points.size());
  *sigma = 1;
  for (int iteration = 0; iteration < 8 && points.size() >= 2 * kPrecisionCurveTerms; ++iteration) {
    for (std::size_t i = 0; i < points.size(); ++i)
      residuals[i] = std::fabs(points[i].y - Evaluate(c, points[i].u));
    *sigma = std::max(least_sigma, 1.4826 * Median(residuals));
    const double cutoff = 4.685 * *sigma;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const double t = residuals[i] / cutoff;
      weights[i] = t < 1 ? (1 - t * t) * (1 - t * t) : 0.0;
    }
    Coefficients next{};
    if (!FitPolynomial(points, weights, kPrecisionCurveTerms, &next))
      break;
    double change = 0;
    for (std::size_t k = 0; k < c.size(); ++k)
      change = std::max(change, std::fabs(next[k] - c[k]));
    c = next;
    if (change < 1e-4)
      break;  // settled to a ten-thousandth of a pixel
  }
  return c;
}

}  // namespace sarn::precision
