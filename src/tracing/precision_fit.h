#pragma once

// The curve fits of precision tracing: weighted least squares of a
// polynomial in the chord frame u in [-1, 1] from its normal equations, and
// the robust quartic by iteratively reweighted least squares (Tukey's
// biweight, scale from the median absolute residual).

#include <array>
#include <vector>

#include "tracing/precision_common.h"

namespace sarn::precision {

using Matrix = std::array<std::array<double, kPrecisionCurveTerms>, kPrecisionCurveTerms>;

// Weighted least squares of a polynomial with `terms` coefficients (weights
// are each point's weight times weights[i], all 1 when `weights` is empty);
// false when fewer points than terms or singular. `inverse`, when given,
// receives (A^T W A)^-1 for the covariance.
bool FitPolynomial(const std::vector<Point>& points, const std::vector<double>& weights, int terms,
                   Coefficients* c, Matrix* inverse = nullptr);

double Median(std::vector<double> v);

// Iteratively reweighted least squares of the quartic from `start`: Tukey's
// biweight with cut-off 4.685 sigma, sigma = 1.4826 x the median absolute
// residual (at least `least_sigma` px), at most 8 iterations.
Coefficients RobustFit(const std::vector<Point>& points, Coefficients start, double* sigma,
                       double least_sigma = 0.05);

}  // namespace sarn::precision
