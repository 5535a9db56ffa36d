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

#include "state/failure.h"
#include "state/measurement_state.h"

namespace sarn {

// Every function below that can fail returns the Failure that ends one
// tension evaluation (a record index outside the table, a division by zero,
// a non-finite value, no convergence).

// The constants of the conductor formulas, shared by the evaluation and the
// stringing chart.
inline constexpr double kGravity = 9.8;         // kg -> N, kN -> kgf (x 1000 / 9.8)
inline constexpr double kExpansionScale = 1e6;  // Expansion is given in 1e-6 per deg C
inline constexpr double kStateEqDivisor = 24;   // E S^2 w^2 / 24 in the state equation
inline constexpr double kSagDivisor = 8;        // parabolic sag S^2 W / (8 T)

// Ice mass factor: 6 mm of radial ice of density 0.9, 5.4 * pi with pi
// rounded to a 32-bit float, kept in double precision.
inline constexpr double kIceMassFactor = 16.964600801467896;

// cond 0: class A (full wind 980 Pa x WindFactor, DesignTemp(0));
// cond 1: class C (reduced wind 490 Pa, DesignTemp(1)). Tension in kgf.
Result<float> SpanAllowTension(const MeasurementState& state, int16_t cond);

// Class B: ice-covered conductor under reduced wind, DesignTemp(1). kgf.
Result<float> IceAllowTension(const MeasurementState& state);

// The stress x (kgf/mm2) with x^2 (x - k) = a to within 0.001: doubling from
// 10 to bracket the root, then halving steps. Fails when the doubling
// overflows or the search cannot meet the tolerance.
Result<double> SolveStateEq(float a, float k);

// The same root in double precision, for quantities that are not stored as
// 32-bit floats (the stringing chart). SolveStateEq is not used there: it
// takes its terms as floats and stops on an absolute residual of 0.001, which
// for a slack conductor (x below about 1 kgf/mm2, where x^3 itself is of the
// order of 0.1) leaves several tenths of a per cent in x. Here the root is
// bracketed between max(k, 0), where f(x) - a = -a < 0, and a doubled upper
// bound, then bisected until the bracket is within one part in 1e12 of x.
// For a > 0 the positive root is unique (f rises monotonically past
// max(2k/3, 0) and is negative up to k). Fails when a is not positive, a
// term is not finite, or the bracket overflows.
Result<double> SolveStateEqPrecise(double a, double k);

// The design load conditions: class A (甲種), class B (乙種), class C (丙種).
enum class LoadClass { A, B, C };

// The loads of a design condition on the bare or iced conductor, in double
// precision, before any rounding:
//   class A: ww = Diameter / 1000 * 980 * WindFactor,  wi = 0
//   class C: ww = Diameter / 1000 * 490,               wi = 0
//   class B: ww = (Diameter + 12) / 1000 * 490,
//            wi = 1e-3 * (Diameter + 6) * kIceMassFactor * 9.8
struct DesignLoad {
  double ww = 0;  // horizontal (wind) load, N/m
  double wi = 0;  // extra vertical (ice) load, N/m
};
DesignLoad DesignLoadOf(const WireRecord& record, LoadClass load_class);

// The load ratio q = sqrt(ww^2 + (wv + wi)^2) / wv of a design condition in
// double precision, wv = Weight * 9.8. Fails when Weight is 0 or a value is
// not finite.
Result<double> LoadRatioPrecise(const WireRecord& record, LoadClass load_class);

// The record's own terms, each a 32-bit float:
//   wv = Weight * 9.8, E = Elasticity * 1000 / 9.8,
//   Ta = BreakLoad / SafetyFactor * 1000 / 9.8, s1 = Ta / Area, w = Weight / Area.
struct ConductorTerms {
  float wv = 0;  // own-weight load, N/m
  float E = 0;   // modulus of elasticity, kgf/mm2
  float Ta = 0;  // allowable tension, kgf
  float s1 = 0;  // allowable stress, kgf/mm2
  float w = 0;   // Weight / Area, kg/m per mm2
};

// Fails on a zero SafetyFactor or Area, or a value that does not fit a
// 32-bit float.
Result<ConductorTerms> ConductorTermsOf(const WireRecord& record);

// Every intermediate of one span allowable tension, for checking and for
// tracing a result by hand.
struct AllowTensionSteps {
  ConductorTerms terms;
  float ww = 0;       // horizontal (wind) load of the design condition, N/m
  float wi = 0;       // extra vertical (ice) load, N/m; 0 for classes A and C
  float q = 0;        // load ratio of the design condition
  double M = 0;       // S^2 (q w)^2 E / 24, kept in double
  float K1 = 0;       // s1 - M / s1^2
  float a = 0;        // S^2 w^2 E / 24, own-weight term of the present condition
  float dT = 0;       // AirTemp - t1, deg C
  float th = 0;       // dT * alpha * E, thermal term, kgf/mm2
  float k = 0;        // K1 - th
  float x = 0;        // present stress, kgf/mm2
  float tension = 0;  // x * Area, kgf: the span allowable tension
};

// The span allowable tension of `load_class` for the selected conductor with
// all its intermediates. Fails when WireIndex lies outside the table, on a
// division by zero, a value that is not finite or overflows a 32-bit float,
// or no convergence.
Result<AllowTensionSteps> AllowTensionDetail(const MeasurementState& state, LoadClass load_class);

}  // namespace sarn
