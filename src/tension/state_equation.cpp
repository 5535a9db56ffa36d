#include "tension/state_equation.h"

#include <cfloat>
#include <cmath>

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

// Stores an intermediate into a 32-bit float, as every stored term is.
// A value that is not finite or lies beyond the float range ends the run.
float StoreFloat(double value, const char* what) {
  if (!std::isfinite(value))
    throw EvalFailure(std::string(what) + " is not a finite number");
  if (std::fabs(value) > static_cast<double>(FLT_MAX))
    throw EvalFailure(std::string(what) + " overflows a 32-bit float");
  return static_cast<float>(value);
}

// num / den; a zero divisor ends the run (an exact zero is what a division
// by zero is, so the compare is exact on purpose).
double Divide(double num, double den, const char* what) {
  if (den == 0.0)
    throw EvalFailure(std::string("division by zero: ") + what);
  return num / den;
}

// f(x) = x^2 (x - k), the state equation multiplied by x^2.
double Cubic(double x, double k) {
  return x * x * (x - k);
}

}  // namespace

ConductorTerms ConductorTermsOf(const WireRecord& r) {
  ConductorTerms t;
  t.wv = StoreFloat(double{r.Weight} * kGravity, "own-weight load wv");
  t.E = StoreFloat(double{r.Elasticity} * 1000.0 / kGravity, "elasticity E");
  t.Ta = StoreFloat(Divide(r.BreakLoad, r.SafetyFactor, "SafetyFactor is 0") * 1000.0 / kGravity,
                    "allowable tension Ta");
  t.s1 = StoreFloat(Divide(t.Ta, r.Area, "Area is 0"), "allowable stress s1");
  t.w = StoreFloat(Divide(r.Weight, r.Area, "Area is 0"), "weight per section w");
  return t;
}

double SolveStateEq(float a, float k) {
  if (!std::isfinite(a) || !std::isfinite(k))
    throw EvalFailure("state equation terms are not finite");
  // Bracket: double x until f(x), stored as a float, exceeds a. The doubling
  // is bounded by the float range: |f(x)| passes FLT_MAX (3.4e38) by
  // x = 1e13 whatever k is, that is after at most 40 doublings, and that
  // overflow ends the run.
  double x = kSolverStart;
  while (StoreFloat(Cubic(x, k), "state equation residual") <= a)
    x = 2.0 * x;
  // Bisection of [x / 2, x] (of [0, 10] when the doubling stops at once):
  // every move is half the one before, the step stored as a float.
  float t = static_cast<float>(x / 2.0);
  double g = Cubic(x, k) - a;
  int halvings = 0;
  while (std::fabs(g) >= kSolverTolerance) {
    if (t == 0.0f || halvings >= kMaxHalvings)
      throw EvalFailure("state equation did not converge");
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

double SolveStateEqPrecise(double a, double k) {
  if (!std::isfinite(a) || !std::isfinite(k))
    throw EvalFailure("state equation terms are not finite");
  if (!(a > 0.0))
    throw EvalFailure("state equation has no positive root (own-weight term is not positive)");
  double low = k > 0.0 ? k : 0.0;  // f(low) - a = -a < 0
  double high = low + 1.0;
  for (;;) {
    const double f = Cubic(high, k);
    if (!std::isfinite(f))
      throw EvalFailure("state equation root lies beyond the double range");
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

double LoadRatioPrecise(const WireRecord& r, LoadClass load_class) {
  const DesignLoad load = DesignLoadOf(r, load_class);
  const double wv = double{r.Weight} * kGravity;
  const double vertical = wv + load.wi;
  const double q = Divide(std::sqrt(load.ww * load.ww + vertical * vertical), wv, "Weight is 0");
  if (!std::isfinite(q))
    throw EvalFailure("load ratio q is not a finite number");
  return q;
}

AllowTensionSteps AllowTensionDetail(const MeasurementState& state, LoadClass load_class) {
  const WireRecord* r = state.SelectedWire();
  if (r == nullptr)
    throw EvalFailure("conductor index " + std::to_string(state.WireIndex) +
                      " lies outside the conductor table");
  AllowTensionSteps s;
  s.terms = ConductorTermsOf(*r);
  const ConductorTerms& c = s.terms;

  const int16_t t1 = load_class == LoadClass::A ? state.DesignTemp[0] : state.DesignTemp[1];
  const DesignLoad load = DesignLoadOf(*r, load_class);
  s.ww = StoreFloat(load.ww, "wind load ww");
  s.wi = StoreFloat(load.wi, "ice load wi");

  // q = sqrt(ww^2 + (wv + wi)^2) / wv, the root stored as a float first.
  const double vertical = double{c.wv} + double{s.wi};
  const float root =
      StoreFloat(std::sqrt(double{s.ww} * s.ww + vertical * vertical), "resultant load");
  s.q = StoreFloat(Divide(root, c.wv, "Weight is 0"), "load ratio q");
  // M = S^2 (q w)^2 E / 24 in double.
  const double span = state.SpanLength;
  const double qw = double{s.q} * double{c.w};
  s.M = span * span * (qw * qw) * double{c.E} / kStateEqDivisor;
  // K1 = s1 - M / s1^2.
  s.K1 = StoreFloat(
      double{c.s1} - Divide(s.M, double{c.s1} * c.s1, "allowable stress s1 is 0 (BreakLoad is 0)"),
      "K1");
  // a = S^2 w^2 E / 24.
  s.a = StoreFloat(span * span * (double{c.w} * c.w) * double{c.E} / kStateEqDivisor,
                   "own-weight term a");
  // dT = AirTemp - t1, t1 as a float.
  s.dT = StoreFloat(double{state.AirTemp} - double{static_cast<float>(t1)}, "temperature change");
  // th = dT * alpha * E.
  s.th = StoreFloat(double{s.dT} * (double{r->Expansion} / kExpansionScale) * double{c.E},
                    "thermal term");
  // k = K1 - th.
  s.k = StoreFloat(double{s.K1} - double{s.th}, "k");
  // x solves x^2 (x - k) = a; the tension is x * Area.
  s.x = StoreFloat(SolveStateEq(s.a, s.k), "present stress x");
  s.tension = StoreFloat(double{s.x} * double{r->Area}, "span allowable tension");
  return s;
}

float SpanAllowTension(const MeasurementState& state, int16_t cond) {
  if (cond != 0 && cond != 1)
    throw EvalFailure("unknown load condition " + std::to_string(cond));
  return AllowTensionDetail(state, cond == 0 ? LoadClass::A : LoadClass::C).tension;
}

float IceAllowTension(const MeasurementState& state) {
  return AllowTensionDetail(state, LoadClass::B).tension;
}

}  // namespace sarn
