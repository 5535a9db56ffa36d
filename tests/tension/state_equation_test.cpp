#include "tension/state_equation.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "tension/worked_example.h"

namespace sarn {
namespace {

using testing::WorkedExampleRecord;
using testing::WorkedExampleState;

// The worked example's common terms, to the digits it gives them.
TEST(ConductorTerms, WorkedExample) {
  const ConductorTerms t = *ConductorTermsOf(WorkedExampleRecord());
  EXPECT_NEAR(t.wv, 6.86, 0.005);
  EXPECT_NEAR(t.E, 9183.67, 0.005);
  EXPECT_NEAR(t.Ta, 2448.98, 0.005);
  EXPECT_NEAR(t.s1, 13.6054, 0.00005);
  EXPECT_NEAR(t.w, 0.7 / 180.0, 1e-7);
}

TEST(AllowTension, WorkedExampleClassA) {
  const AllowTensionSteps s = *AllowTensionDetail(WorkedExampleState(), LoadClass::A);
  EXPECT_NEAR(s.a, 9.2593, 0.00005);
  EXPECT_NEAR(s.ww, 17.64, 0.005);
  EXPECT_FLOAT_EQ(s.wi, 0.0f);
  EXPECT_NEAR(s.q, 2.7590, 0.00005);
  EXPECT_NEAR(s.k, 12.3522, 0.00005);
  EXPECT_NEAR(s.x, 12.412, 0.0005);
  EXPECT_NEAR(s.tension, 2234.2, 0.05);
  EXPECT_FLOAT_EQ(*SpanAllowTension(WorkedExampleState(), 0), s.tension);
}

TEST(AllowTension, WorkedExampleClassB) {
  const AllowTensionSteps s = *AllowTensionDetail(WorkedExampleState(), LoadClass::B);
  EXPECT_NEAR(s.ww, 14.7, 0.005);
  EXPECT_NEAR(s.wi, 3.9901, 0.00005);
  EXPECT_NEAR(s.q, 2.6634, 0.00005);
  EXPECT_NEAR(s.k, 8.8884, 0.00005);
  EXPECT_NEAR(s.x, 9.003, 0.0005);
  EXPECT_NEAR(s.tension, 1620.5, 0.05);
  EXPECT_FLOAT_EQ(*IceAllowTension(WorkedExampleState()), s.tension);
}

TEST(AllowTension, WorkedExampleClassC) {
  const AllowTensionSteps s = *AllowTensionDetail(WorkedExampleState(), LoadClass::C);
  EXPECT_NEAR(s.ww, 8.82, 0.005);
  EXPECT_NEAR(s.q, 1.6288, 0.00005);
  EXPECT_NEAR(s.k, 9.1105, 0.00005);
  EXPECT_NEAR(s.tension, 1659.5, 0.05);
  EXPECT_FLOAT_EQ(*SpanAllowTension(WorkedExampleState(), 1), s.tension);
}

// Each line is stored as a float: the thermal term of class A is
// dT * alpha * E with dT = 20 - 15 (class-A temperature) and of class B/C
// with dT = 20 - (-5).
TEST(AllowTension, DesignTemperaturePerClass) {
  const AllowTensionSteps a = *AllowTensionDetail(WorkedExampleState(), LoadClass::A);
  const AllowTensionSteps b = *AllowTensionDetail(WorkedExampleState(), LoadClass::B);
  EXPECT_FLOAT_EQ(a.dT, 5.0f);
  EXPECT_FLOAT_EQ(b.dT, 25.0f);
  EXPECT_NEAR(a.th, 5.0 * 19e-6 * 9183.67, 1e-4);
  EXPECT_NEAR(b.th, 25.0 * 19e-6 * 9183.67, 1e-4);
}

double Residual(double x, double a, double k) {
  return x * x * (x - k) - a;
}

struct SolveCase {
  float a;
  float k;
  double root;  // the real root of x^2 (x - k) = a found independently
};

// Roots chosen so that they are known in closed form: x^2 (x - k) = a with
// a = r^2 (r - k).
class SolveStateEqCases : public ::testing::TestWithParam<SolveCase> {};

TEST_P(SolveStateEqCases, MeetsTheTolerance) {
  const SolveCase c = GetParam();
  const double x = *SolveStateEq(c.a, c.k);
  EXPECT_LT(std::fabs(Residual(x, c.a, c.k)), 0.001);
  // |f(x) - a| < 0.001 puts x within 0.001 / f'(root) of the root.
  const double slope = 3 * c.root * c.root - 2 * c.k * c.root;
  EXPECT_NEAR(x, c.root, 0.0011 / slope);
}

// Each case is given by its root r and k, with a = r^2 (r - k) exact in float.
INSTANTIATE_TEST_SUITE_P(Roots, SolveStateEqCases,
                         ::testing::Values(SolveCase{1.0f, 0.0f, 1.0},      // x^3 = 1
                                           SolveCase{1000.0f, 0.0f, 10.0},  // f(10) = a exactly
                                           SolveCase{0.0f, 5.0f, 5.0},      // roots 0 (double), 5
                                           SolveCase{7.875f, -2.0f, 1.5},   // 2.25 * 3.5
                                           SolveCase{288.0f, 10.0f, 12.0},  // 144 * 2
                                           SolveCase{25344.0f, -20.0f, 24.0},  // 576 * 44
                                           SolveCase{1.25e8f, 0.0f, 500.0}));  // bracket [320, 640]

// The example's x^2 (x - 12.3522) = 9.2593 has its root near 12.412.
TEST(SolveStateEq, WorkedExampleRoot) {
  const double x = *SolveStateEq(9.2593f, 12.3522f);
  EXPECT_NEAR(x, 12.412, 0.0005);
}

// The stress found at the present temperature from the design condition,
// carried back to the design condition by the same equation written the other
// way round, gives the allowable stress s1 again.
TEST(SolveStateEq, RoundTripBetweenConditions) {
  const MeasurementState state = WorkedExampleState();
  for (LoadClass load : {LoadClass::A, LoadClass::B, LoadClass::C}) {
    const AllowTensionSteps s = *AllowTensionDetail(state, load);
    const double E = s.terms.E;
    const double w = s.terms.w;
    const double span = state.SpanLength;
    const double alpha = 19e-6;
    const double t_design = load == LoadClass::A ? 15.0 : -5.0;
    const double t_present = 20.0;
    const double x = s.x;
    // Known: stress x under own weight (q = 1) at t_present. Wanted: stress y
    // under the design load (q) at t_design:
    //   y - E S^2 (q w)^2 / (24 y^2) = x - E S^2 w^2 / (24 x^2) - E alpha (t_design - t_present)
    const double a_back = span * span * std::pow(double{s.q} * w, 2) * E / 24.0;
    const double k_back =
        x - span * span * w * w * E / (24.0 * x * x) - E * alpha * (t_design - t_present);
    const double y = *SolveStateEq(static_cast<float>(a_back), static_cast<float>(k_back));
    EXPECT_NEAR(y, s.terms.s1, 2e-4) << "class " << static_cast<int>(load);
  }
}

// The same round trip over temperatures: carry a stress from 20 degC to
// -10 degC under own weight and back.
TEST(SolveStateEq, RoundTripOverTemperature) {
  const double E = 9183.67, w = 0.7 / 180.0, span = 60.0, alpha = 19e-6;
  const double a = span * span * w * w * E / 24.0;
  const double x20 = 8.0;
  const double k_cold = x20 - a / (x20 * x20) - E * alpha * (-10.0 - 20.0);
  const double x_cold = *SolveStateEq(static_cast<float>(a), static_cast<float>(k_cold));
  EXPECT_GT(x_cold, x20);  // colder: shorter conductor, higher stress
  const double k_warm = x_cold - a / (x_cold * x_cold) - E * alpha * (20.0 - -10.0);
  const double back = *SolveStateEq(static_cast<float>(a), static_cast<float>(k_warm));
  EXPECT_NEAR(back, x20, 1e-4);
}

TEST(SolveStateEq, DoublingOverflowFails) {
  // No float f(x) ever exceeds FLT_MAX, so the doubling runs into overflow.
  EXPECT_FALSE(SolveStateEq(FLT_MAX, 0.0f).ok());
  // f(10) = 100 (10 - k) already leaves the float range.
  EXPECT_FALSE(SolveStateEq(1.0f, -1e37f).ok());
  EXPECT_FALSE(SolveStateEq(1.0f, 1e37f).ok());
}

TEST(SolveStateEq, UnreachableToleranceFails) {
  // Root near 1e10: one unit in the last place of x moves the residual by
  // about 1e15, far above 0.001, so the search can only end at its bound.
  EXPECT_FALSE(SolveStateEq(1e30f, 0.0f).ok());
  EXPECT_FALSE(SolveStateEq(1e20f, 5e6f).ok());
}

TEST(SolveStateEq, NonFiniteTermsFail) {
  EXPECT_FALSE(SolveStateEq(std::numeric_limits<float>::quiet_NaN(), 1.0f).ok());
  EXPECT_FALSE(SolveStateEq(1.0f, std::numeric_limits<float>::infinity()).ok());
}

struct BrokenRecordCase {
  const char* name;
  void (*spoil)(MeasurementState&);
  const char* reason;  // a part of the failure message
};

class BrokenRecord : public ::testing::TestWithParam<BrokenRecordCase> {};

TEST_P(BrokenRecord, EveryClassFails) {
  MeasurementState s = WorkedExampleState();
  GetParam().spoil(s);
  for (LoadClass load : {LoadClass::A, LoadClass::B, LoadClass::C}) {
    const Result<AllowTensionSteps> steps = AllowTensionDetail(s, load);
    ASSERT_FALSE(steps.ok()) << "class " << static_cast<int>(load) << " did not fail";
    EXPECT_NE(steps.failure().English().find(GetParam().reason), std::string::npos)
        << "class " << static_cast<int>(load) << ": " << steps.failure().English();
  }
  EXPECT_FALSE(SpanAllowTension(s, 0).ok());
  EXPECT_FALSE(SpanAllowTension(s, 1).ok());
  EXPECT_FALSE(IceAllowTension(s).ok());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenRecord,
    ::testing::Values(
        BrokenRecordCase{"ZeroArea", [](MeasurementState& s) { s.WireTable[0].Area = 0; },
                         "Area is 0"},
        BrokenRecordCase{"ZeroSafetyFactor",
                         [](MeasurementState& s) { s.WireTable[0].SafetyFactor = 0; },
                         "SafetyFactor is 0"},
        BrokenRecordCase{"ZeroWeight", [](MeasurementState& s) { s.WireTable[0].Weight = 0; },
                         "Weight is 0"},
        BrokenRecordCase{"ZeroBreakLoad", [](MeasurementState& s) { s.WireTable[0].BreakLoad = 0; },
                         "BreakLoad is 0"},
        BrokenRecordCase{"IndexMinusOne", [](MeasurementState& s) { s.WireIndex = -1; },
                         "outside the conductor table"},
        BrokenRecordCase{"IndexPastEnd", [](MeasurementState& s) { s.WireIndex = 1; },
                         "outside the conductor table"},
        // S^2 (q w)^2 E / 24 / s1^2 is far beyond the float range.
        BrokenRecordCase{"HugeSpan", [](MeasurementState& s) { s.SpanLength = 1e30f; },
                         "overflows a 32-bit float"},
        // w = Weight / Area = 7e29 and its square leave the float range.
        BrokenRecordCase{"TinyArea", [](MeasurementState& s) { s.WireTable[0].Area = 1e-30f; },
                         "overflows a 32-bit float"},
        // Stresses near 2.4e9 kgf/mm2: one unit in the last place of x moves
        // the residual by about 1e12, so the search cannot meet 0.001.
        BrokenRecordCase{"UnreachableStress",
                         [](MeasurementState& s) { s.WireTable[0].Area = 1e-6f; },
                         "did not converge"},
        BrokenRecordCase{"InfiniteElasticity",
                         [](MeasurementState& s) {
                           s.WireTable[0].Elasticity = std::numeric_limits<float>::infinity();
                         },
                         "not a finite number"}),
    [](const ::testing::TestParamInfo<BrokenRecordCase>& param_info) {
      return param_info.param.name;
    });

TEST(SpanAllowTension, UnknownConditionFails) {
  EXPECT_FALSE(SpanAllowTension(WorkedExampleState(), 2).ok());
}

TEST(SpanAllowTension, ZeroAreaMessageNamesTheField) {
  MeasurementState s = WorkedExampleState();
  s.WireTable[0].Area = 0;
  const Result<float> tension = SpanAllowTension(s, 0);
  ASSERT_FALSE(tension.ok());
  EXPECT_EQ(tension.failure().English(), "division by zero: Area is 0");
}

}  // namespace
}  // namespace sarn
