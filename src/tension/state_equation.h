#pragma once

// Span allowable tension from the conductor's parabolic state equation.
//
// For the selected record R (32-bit results at every line):
//   wv = Weight * 9.8                      own-weight load, N/m
//   E  = Elasticity * 1000 / 9.8           kgf/mm2
//   Ta = BreakLoad / SafetyFactor * 1000 / 9.8   allowable tension, kgf
//   s1 = Ta / Area                         allowable stress, kgf/mm2
//   w  = Weight / Area                     own weight per unit section
// A design condition adds a horizontal load ww and a vertical load wi (N/m);
// with q = sqrt(ww^2 + (wv + wi)^2) / wv the state equation between the
// design condition (stress s1, temperature t1) and the present condition
// (own weight only, AirTemp) is, for the present stress x:
//   x - E S^2 w^2 / (24 x^2) = s1 - E S^2 (q w)^2 / (24 s1^2) - E alpha (AirTemp - t1)
// i.e. the cubic x^2 (x - k) = a, solved by SolveStateEq.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "state/measurement_state.h"

namespace sarn {

// A failure that ends one tension evaluation (a record index outside the
// table, a division by zero, a non-finite value, no convergence).
class EvalFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Ice mass factor: 6 mm of radial ice of density 0.9, 5.4 * pi with pi
// rounded to a 32-bit float, kept in double precision.
inline constexpr double kIceMassFactor = 16.964600801467896;

// cond 0: class A (full wind 980 Pa x WindFactor, DesignTemp(0));
// cond 1: class C (reduced wind 490 Pa, DesignTemp(1)). Tension in kgf.
float SpanAllowTension(const MeasurementState& state, int16_t cond);

// Class B: ice-covered conductor under reduced wind, DesignTemp(1). kgf.
float IceAllowTension(const MeasurementState& state);

// The stress x (kgf/mm2) with x^2 (x - k) = a to within 0.001: doubling from
// 10 to bracket the root, then halving steps. Throws EvalFailure when the
// doubling overflows or the search cannot meet the tolerance.
double SolveStateEq(float a, float k);

}  // namespace sarn
