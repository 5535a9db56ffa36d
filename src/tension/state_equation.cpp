#include "tension/state_equation.h"

#include <cfloat>
#include <cmath>
#include <optional>
#include <string>

namespace sarn {
namespace {

constexpr double kClassAWindPressure = 980;   // Pa on the bare diameter
constexpr double kReducedWindPressure = 490;  // Pa, classes B and C
constexpr double kIcedDiameterExtra = 12;     // mm: iced diameter = Diameter + 12
constexpr double kIceMassDiameterExtra = 6;   // mm: ice mass uses Diameter + 6
constexpr double kMillimetresPerMetre = 1000;
constexpr double kSolverStart = 10;         // first trial stress, kgf/mm2
constexpr double kSolverTolerance = 0.001;  // on |x^2 (x - k) - a|
// Halving bound of the search. A root that can be met to the tolerance at
// all is met after a few dozen halvings (about 20 for ordinary conductors:
// the first step is at most a few thousand kgf/mm2 and the step needed is
// around 1e-10); 200 halvings also take any float step down to zero, so the
// bound only cuts off searches that could never end.
constexpr int kMaxHalvings = 200;

using enum MessageId;

// Stores an intermediate into a 32-bit float, as every stored term is.
// A value that is not finite or lies beyond the float range ends the run.
Result<float> StoreFloat(double value, MessageId term) {
  if (!std::isfinite(value))
    return Failure(kNotFinite, {Failure(term)});
  if (std::fabs(value) > static_cast<double>(FLT_MAX))
    return Failure(kOverflowsFloat, {Failure(term)});
  return static_cast<float>(value);
}

// num / den; a zero divisor ends the run (an exact zero is what a division
// by zero is, so the compare is exact on purpose). `what` says which is 0.
Result<double> Divide(double num, double den, MessageId what) {
  if (den == 0.0)
    return Failure(kDivisionByZero, {Failure(what)});
  return num / den;
}

// f(x) = x^2 (x - k), the state equation multiplied by x^2.
double Cubic(double x, double k) {
  return x * x * (x - k);
}

}  // namespace

Result<ConductorTerms> ConductorTermsOf(const WireRecord& r) {
  ConductorTerms t;
  const Result<float> wv = StoreFloat(double{r.Weight} * kGravity, kTermOwnWeightLoad);
  if (!wv)
    return wv.failure();
  t.wv = *wv;
  const Result<float> E = StoreFloat(double{r.Elasticity} * 1000.0 / kGravity, kTermElasticity);
  if (!E)
    return E.failure();
  t.E = *E;
  const Result<double> per_factor = Divide(r.BreakLoad, r.SafetyFactor, kTermSafetyFactorZero);
  if (!per_factor)
    return per_factor.failure();
  const Result<float> Ta = StoreFloat(*per_factor * 1000.0 / kGravity, kTermAllowableTension);
  if (!Ta)
    return Ta.failure();
  t.Ta = *Ta;
  const Result<double> stress = Divide(t.Ta, r.Area, kTermAreaZero);
  if (!stress)
    return stress.failure();
  const Result<float> s1 = StoreFloat(*stress, kTermAllowableStress);
  if (!s1)
    return s1.failure();
  t.s1 = *s1;
  const Result<double> per_area = Divide(r.Weight, r.Area, kTermAreaZero);
  if (!per_area)
    return per_area.failure();
  const Result<float> w = StoreFloat(*per_area, kTermWeightPerSection);
  if (!w)
    return w.failure();
  t.w = *w;
  return t;
}

Result<double> SolveStateEq(float a, float k) {
  if (!std::isfinite(a) || !std::isfinite(k))
    return Failure(kStateEqTermsNotFinite);
  // Bracket: double x until f(x), stored as a float, exceeds a. The doubling
  // is bounded by the float range: |f(x)| passes FLT_MAX (3.4e38) by
  // x = 1e13 whatever k is, that is after at most 40 doublings, and that
  // overflow ends the run.
  double x = kSolverStart;
  for (;;) {
    const Result<float> residual = StoreFloat(Cubic(x, k), kTermResidual);
    if (!residual)
      return residual.failure();
    if (*residual > a)
      break;
    x = 2.0 * x;
  }
  // Bisection of [x / 2, x] (of [0, 10] when the doubling stops at once):
  // every move is half the one before, the step stored as a float.
  float t = static_cast<float>(x / 2.0);
  double g = Cubic(x, k) - a;
  int halvings = 0;
  while (std::fabs(g) >= kSolverTolerance) {
    if (t == 0.0f || halvings >= kMaxHalvings)
      return Failure(kStateEqNoConvergence);
    if (g > 0)
      x -= t;
    else
      x += t;
    t = t / 2.0f;
    ++halvings;
    g = Cubic(x, k) - a;
  }
  return x;
}

Result<double> SolveStateEqPrecise(double a, double k) {
  if (!std::isfinite(a) || !std::isfinite(k))
    return Failure(kStateEqTermsNotFinite);
  if (!(a > 0.0))
    return Failure(kStateEqNoPositiveRoot);
  double low = k > 0.0 ? k : 0.0;  // f(low) - a = -a < 0
  double high = low + 1.0;
  for (;;) {
    const double f = Cubic(high, k);
    if (!std::isfinite(f))
      return Failure(kStateEqRootBeyondRange);
    if (f - a > 0.0)
      break;
    high = 2.0 * high;
  }
  // Each halving keeps f(low) <= a < f(high); 200 halvings take any bracket
  // below the relative width, which is usually met after about 45.
  for (int i = 0; i < kMaxHalvings && high - low > 1e-12 * high; ++i) {
    const double mid = 0.5 * (low + high);
    if (Cubic(mid, k) - a > 0.0)
      high = mid;
    else
      low = mid;
  }
  return 0.5 * (low + high);
}

DesignLoad DesignLoadOf(const WireRecord& r, LoadClass load_class) {
  const double diameter = r.Diameter;
  switch (load_class) {
    case LoadClass::A:
      return {diameter / kMillimetresPerMetre * kClassAWindPressure * double{r.WindFactor}, 0.0};
    case LoadClass::C:
      return {diameter / kMillimetresPerMetre * kReducedWindPressure, 0.0};
    case LoadClass::B:
      return {(diameter + kIcedDiameterExtra) / kMillimetresPerMetre * kReducedWindPressure,
              1e-3 * ((diameter + kIceMassDiameterExtra) * kIceMassFactor) * kGravity};
  }
  return {};
}

Result<double> LoadRatioPrecise(const WireRecord& r, LoadClass load_class) {
  const DesignLoad load = DesignLoadOf(r, load_class);
  const double wv = double{r.Weight} * kGravity;
  const double vertical = wv + load.wi;
  const Result<double> q =
      Divide(std::sqrt(load.ww * load.ww + vertical * vertical), wv, kTermWeightZero);
  if (!q)
    return q;
  if (!std::isfinite(*q))
    return Failure(kNotFinite, {Failure(kTermLoadRatio)});
  return q;
}

Result<AllowTensionSteps> AllowTensionDetail(const MeasurementState& state, LoadClass load_class) {
  const WireRecord* r = state.SelectedWire();
  if (r == nullptr)
    return Failure(kConductorIndexOutside, {std::to_string(state.WireIndex)});
  AllowTensionSteps s;
  const Result<ConductorTerms> terms = ConductorTermsOf(*r);
  if (!terms)
    return terms.failure();
  s.terms = *terms;
  const ConductorTerms& c = s.terms;
  // Each intermediate is stored as a 32-bit float; the first that cannot be
  // ends the run with its failure.
  std::optional<Failure> failure;
  auto store = [&failure](double value, MessageId term, float* out) {
    Result<float> stored = StoreFloat(value, term);
    if (stored)
      *out = *stored;
    else
      failure = stored.failure();
    return stored.ok();
  };
  auto divide = [&failure](double num, double den, MessageId what, double* out) {
    Result<double> quotient = Divide(num, den, what);
    if (quotient)
      *out = *quotient;
    else
      failure = quotient.failure();
    return quotient.ok();
  };

  const int16_t t1 = load_class == LoadClass::A ? state.DesignTemp[0] : state.DesignTemp[1];
  const DesignLoad load = DesignLoadOf(*r, load_class);
  if (!store(load.ww, kTermWindLoad, &s.ww) || !store(load.wi, kTermIceLoad, &s.wi))
    return *failure;

  // q = sqrt(ww^2 + (wv + wi)^2) / wv, the root stored as a float first.
  const double vertical = double{c.wv} + double{s.wi};
  float root = 0;
  double ratio = 0;
  if (!store(std::sqrt(double{s.ww} * s.ww + vertical * vertical), kTermResultantLoad, &root) ||
      !divide(root, c.wv, kTermWeightZero, &ratio) || !store(ratio, kTermLoadRatio, &s.q))
    return *failure;
  // M = S^2 (q w)^2 E / 24 in double.
  const double span = state.SpanLength;
  const double qw = double{s.q} * double{c.w};
  s.M = span * span * (qw * qw) * double{c.E} / kStateEqDivisor;
  // K1 = s1 - M / s1^2.
  double per_stress = 0;
  if (!divide(s.M, double{c.s1} * c.s1, kTermAllowableStressZero, &per_stress) ||
      !store(double{c.s1} - per_stress, kTermK1, &s.K1))
    return *failure;
  // a = S^2 w^2 E / 24.
  if (!store(span * span * (double{c.w} * c.w) * double{c.E} / kStateEqDivisor, kTermOwnWeightTerm,
             &s.a))
    return *failure;
  // dT = AirTemp - t1, t1 as a float.
  if (!store(double{state.AirTemp} - double{static_cast<float>(t1)}, kTermTemperatureChange, &s.dT))
    return *failure;
  // th = dT * alpha * E.
  if (!store(double{s.dT} * (double{r->Expansion} / kExpansionScale) * double{c.E},
             kTermThermalTerm, &s.th))
    return *failure;
  // k = K1 - th.
  if (!store(double{s.K1} - double{s.th}, kTermK, &s.k))
    return *failure;
  // x solves x^2 (x - k) = a; the tension is x * Area.
  const Result<double> x = SolveStateEq(s.a, s.k);
  if (!x)
    return x.failure();
  if (!store(*x, kTermPresentStress, &s.x) ||
      !store(double{s.x} * double{r->Area}, kTermSpanAllowTension, &s.tension))
    return *failure;
  return s;
}

Result<float> SpanAllowTension(const MeasurementState& state, int16_t cond) {
  if (cond != 0 && cond != 1)
    return Failure(kUnknownLoadCondition, {std::to_string(cond)});
  const Result<AllowTensionSteps> steps =
      AllowTensionDetail(state, cond == 0 ? LoadClass::A : LoadClass::C);
  if (!steps)
    return steps.failure();
  return steps->tension;
}

Result<float> IceAllowTension(const MeasurementState& state) {
  const Result<AllowTensionSteps> steps = AllowTensionDetail(state, LoadClass::B);
  if (!steps)
    return steps.failure();
  return steps->tension;
}

}  // namespace sarn
