#include "tension/tension_evaluation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "tension/state_equation.h"
#include "tension/worked_example.h"

namespace sarn {
namespace {

using testing::WorkedExampleState;

TensionInputs AllTicked(float estimate) {
  TensionInputs in;
  in.TensionEst = {estimate, estimate, estimate};
  in.Check3 = {1, 1, 1};
  return in;
}

// Steps after the present tension were not reached: their values and texts
// are nullopt, so the window clears them and the ratio goes back to yellow.
void ExpectNothingAfterPresentTension(const TensionOutcome& out) {
  EXPECT_FALSE(out.ok());
  EXPECT_FALSE(out.SpanAllowBC.has_value());
  EXPECT_FALSE(out.Governing.has_value());
  EXPECT_FALSE(out.Ratio.has_value());
  EXPECT_FALSE(out.SpecifiedSag.has_value());
  EXPECT_FALSE(out.shown.allow_bc.has_value());
  EXPECT_FALSE(out.shown.ratio.has_value());
  EXPECT_FALSE(out.shown.specified_sag.has_value());
  EXPECT_FALSE(out.shown.ratio_red);
}

TEST(PresentTensionOf, MeanOfTickedEstimates) {
  EXPECT_FLOAT_EQ(PresentTensionOf({1200, 1250, 1253.5f}, {1, 1, 1}), 1234.5f);
  EXPECT_FLOAT_EQ(PresentTensionOf({1200, 1250, 1253.5f}, {1, 0, 1}), 1226.75f);
  EXPECT_FLOAT_EQ(PresentTensionOf({1200, 1250, 1253.5f}, {0, 1, 0}), 1250.0f);
  EXPECT_FLOAT_EQ(PresentTensionOf({1200, 1250, 1253.5f}, {0, 0, 0}), 0.0f);
  // Only the value 1 counts as ticked.
  EXPECT_FLOAT_EQ(PresentTensionOf({1200, 1250, 1253.5f}, {2, -1, 1}), 1253.5f);
}

// Classes A and B with a present tension of 1500: G is class B (1620.5), the
// ratio 1500 / 1620.5 = 92.6 % shows 93 on yellow, and the specified sag
// 40^2 * 0.7 / 8 / 1620.5 = 0.0864 m shows 0.09.
TEST(EvaluateTension, WorkedExampleClassesAB) {
  const TensionOutcome out = EvaluateTension(WorkedExampleState(), AllTicked(1500));
  ASSERT_TRUE(out.ok()) << out.failure->English();
  EXPECT_FLOAT_EQ(out.PresentTension, 1500.0f);
  EXPECT_NEAR(*out.SpanAllowA, 2234.2, 0.05);
  EXPECT_NEAR(*out.SpanAllowBC, 1620.5, 0.05);
  EXPECT_EQ(out.BCClass, 'B');
  EXPECT_FLOAT_EQ(*out.Governing, *out.SpanAllowBC);
  EXPECT_EQ(*out.Ratio, 93.0);
  EXPECT_NEAR(*out.SpecifiedSag, 1600.0 * 0.7 / 8.0 / 1620.5, 1e-5);
  EXPECT_EQ(out.shown.present_tension, "1500.0");
  EXPECT_EQ(*out.shown.allow_a, "甲=2234kGf");
  EXPECT_EQ(*out.shown.allow_bc, "乙=1620kGf");
  EXPECT_EQ(*out.shown.ratio, "93");
  EXPECT_EQ(*out.shown.specified_sag, "0.09");
  EXPECT_FALSE(out.shown.ratio_red);
}

TEST(EvaluateTension, WorkedExampleClassesAC) {
  TensionInputs in = AllTicked(1500);
  in.ClassC = 1;
  const TensionOutcome out = EvaluateTension(WorkedExampleState(), in);
  ASSERT_TRUE(out.ok()) << out.failure->English();
  EXPECT_EQ(out.BCClass, 'C');
  EXPECT_NEAR(*out.SpanAllowBC, 1659.5, 0.05);
  EXPECT_EQ(*out.shown.allow_bc, "丙=" + std::to_string(std::lround(*out.SpanAllowBC)) + "kGf");
  EXPECT_FLOAT_EQ(*out.Governing, *out.SpanAllowBC);
  EXPECT_EQ(*out.Ratio, 90.0);  // 1500 / 1659.5 = 90.39 %
}

TEST(EvaluateTension, NoTickGivesZeroOnYellow) {
  TensionInputs in;
  in.TensionEst = {1400, 1500, 1600};
  const TensionOutcome out = EvaluateTension(WorkedExampleState(), in);
  ASSERT_TRUE(out.ok()) << out.failure->English();
  EXPECT_FLOAT_EQ(out.PresentTension, 0.0f);
  EXPECT_EQ(out.shown.present_tension, "0.0");
  EXPECT_EQ(*out.Ratio, 0.0);
  EXPECT_EQ(*out.shown.ratio, "0");
  EXPECT_FALSE(out.shown.ratio_red);
}

// A wind factor of 6 makes class A the smaller one; with class A off G is
// the class-C value all the same.
TEST(EvaluateTension, ClassAOffGovernsByClassBC) {
  MeasurementState state = WorkedExampleState();
  state.WireTable[0].WindFactor = 6;
  TensionInputs a_and_c = AllTicked(1500);
  a_and_c.ClassC = 1;
  const TensionOutcome with_a = EvaluateTension(state, a_and_c);
  ASSERT_TRUE(with_a.ok()) << with_a.failure->English();
  ASSERT_LT(*with_a.SpanAllowA, *with_a.SpanAllowBC);
  EXPECT_FLOAT_EQ(*with_a.Governing, *with_a.SpanAllowA);

  TensionInputs in = AllTicked(1500);
  in.ClassA = 0;
  in.ClassC = 1;
  const TensionOutcome out = EvaluateTension(state, in);
  ASSERT_TRUE(out.ok()) << out.failure->English();
  EXPECT_FLOAT_EQ(*out.SpanAllowA, 0.0f);
  EXPECT_EQ(*out.shown.allow_a, "");
  EXPECT_FLOAT_EQ(*out.Governing, *out.SpanAllowBC);
  EXPECT_GT(*out.Governing, *with_a.SpanAllowA);
  EXPECT_EQ(out.shown.allow_bc->rfind("丙=", 0), 0u);
}

// A wind factor of 0.5 makes class A's wind load equal class C's, and equal
// design temperatures make the two conditions the same: a tie, G is B/C.
TEST(EvaluateTension, TieTakesTheClassBCValue) {
  MeasurementState state = WorkedExampleState();
  state.WireTable[0].WindFactor = 0.5f;
  state.DesignTemp = {-5, -5};
  TensionInputs in = AllTicked(1500);
  in.ClassC = 1;
  const TensionOutcome out = EvaluateTension(state, in);
  ASSERT_TRUE(out.ok()) << out.failure->English();
  ASSERT_EQ(*out.SpanAllowA, *out.SpanAllowBC);
  EXPECT_EQ(*out.Governing, *out.SpanAllowBC);
}

// A single ticked estimate is the present tension unchanged, so a ratio
// just below and at a half can be set up exactly from G.
float PresentTensionFor(float governing, double wanted_raw_ratio) {
  float present = static_cast<float>(governing * wanted_raw_ratio / 100.0);
  // Step to the float whose raw ratio P / G * 100 is the nearest at or above
  // the wanted one.
  for (int i = 0; i < 64 && double{present} / governing * 100.0 < wanted_raw_ratio; ++i)
    present = std::nextafter(present, std::numeric_limits<float>::infinity());
  for (int i = 0; i < 64; ++i) {
    const float lower = std::nextafter(present, 0.0f);
    if (double{lower} / governing * 100.0 < wanted_raw_ratio)
      break;
    present = lower;
  }
  return present;
}

TEST(EvaluateTension, RatioRoundsHalvesUpAndTurnsRedAbove100) {
  const MeasurementState state = WorkedExampleState();
  const float governing = *EvaluateTension(state, AllTicked(0)).Governing;

  struct Case {
    double raw;
    double shown;
    const char* text;
    bool red;
  };
  for (const Case& c : {Case{100.4, 100, "100", false}, Case{100.5, 101, "101", true},
                        Case{99.5, 100, "100", false}, Case{99.49, 99, "99", false},
                        Case{150.0, 150, "150", true}}) {
    TensionInputs in;
    in.TensionEst = {PresentTensionFor(governing, c.raw), 0, 0};
    in.Check3 = {1, 0, 0};
    const double raw = double{in.TensionEst[0]} / governing * 100.0;
    ASSERT_GE(raw, c.raw);
    ASSERT_LT(raw, c.raw + 1e-4);
    const TensionOutcome out = EvaluateTension(state, in);
    ASSERT_TRUE(out.ok()) << out.failure->English();
    EXPECT_EQ(*out.Ratio, c.shown) << "raw " << raw;
    EXPECT_EQ(*out.shown.ratio, c.text);
    EXPECT_EQ(out.shown.ratio_red, c.red) << "raw " << raw;
  }
}

struct FailingCase {
  const char* name;
  std::function<void(MeasurementState&)> spoil;
  const char* says = "";  // a part of the message
};

// Sets one value of the worked example's conductor.
std::function<void(MeasurementState&)> SetWire(float WireRecord::*field, float value) {
  return [field, value](MeasurementState& s) { s.WireTable[0].*field = value; };
}

constexpr float kInf = std::numeric_limits<float>::infinity();

class FailingEvaluation : public ::testing::TestWithParam<FailingCase> {};

// Every failure keeps the present tension (computed first) and leaves the
// later steps unreached, for both load-class combinations.
TEST_P(FailingEvaluation, StopsAfterPresentTension) {
  MeasurementState state = WorkedExampleState();
  GetParam().spoil(state);
  const TensionOutcome ab = EvaluateTension(state, AllTicked(1500));
  EXPECT_EQ(ab.shown.present_tension, "1500.0");
  EXPECT_FALSE(ab.SpanAllowA.has_value());
  EXPECT_FALSE(ab.shown.allow_a.has_value());
  ExpectNothingAfterPresentTension(ab);
  ASSERT_TRUE(ab.failure);
  EXPECT_NE(ab.failure->English().find(GetParam().says), std::string::npos)
      << ab.failure->English();

  // With class A off, Label8(0) is emptied before class C fails.
  TensionInputs c_only = AllTicked(1500);
  c_only.ClassA = 0;
  c_only.ClassC = 1;
  const TensionOutcome c = EvaluateTension(state, c_only);
  EXPECT_EQ(c.shown.present_tension, "1500.0");
  EXPECT_EQ(c.shown.allow_a, std::optional<std::string>(""));
  ExpectNothingAfterPresentTension(c);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailingEvaluation,
    ::testing::Values(
        FailingCase{"ZeroArea", SetWire(&WireRecord::Area, 0),
                    "conductor EXAMPLE 180: Area is not a finite positive number (0)"},
        // Impossible values name the conductor and the field that is wrong
        // (an infinite Area used to be reported as "BreakLoad is 0").
        FailingCase{"InfiniteArea", SetWire(&WireRecord::Area, kInf),
                    "EXAMPLE 180: Area is not a finite positive number (inf)"},
        FailingCase{"NegativeBreakLoad", SetWire(&WireRecord::BreakLoad, -60),
                    "BreakLoad is not a finite positive number (-60)"},
        FailingCase{"NanWeight",
                    SetWire(&WireRecord::Weight, std::numeric_limits<float>::quiet_NaN()),
                    "Weight is not a finite positive number"},
        FailingCase{"NegativeSafetyFactor", SetWire(&WireRecord::SafetyFactor, -2.5f),
                    "SafetyFactor is not"},
        FailingCase{"NegativeElasticity", SetWire(&WireRecord::Elasticity, -90),
                    "Elasticity is not"},
        FailingCase{"NegativeDiameter", SetWire(&WireRecord::Diameter, -18),
                    "Diameter is not a finite positive number (-18)"},
        FailingCase{"NegativeExpansion", SetWire(&WireRecord::Expansion, -19),
                    "Expansion is not a finite number of 0 or more (-19)"},
        FailingCase{"InfiniteWindFactor", SetWire(&WireRecord::WindFactor, -kInf),
                    "WindFactor is not a finite number of 0 or more (-inf)"},
        FailingCase{"ZeroSafetyFactor", SetWire(&WireRecord::SafetyFactor, 0)},
        FailingCase{"ZeroWeight", SetWire(&WireRecord::Weight, 0)},
        FailingCase{"ZeroBreakLoad", SetWire(&WireRecord::BreakLoad, 0)},
        FailingCase{"IndexMinusOne", [](MeasurementState& s) { s.WireIndex = -1; },
                    "outside the conductor table"},
        FailingCase{"IndexPastEnd", [](MeasurementState& s) { s.WireIndex = 1; }},
        FailingCase{"EmptyTable",
                    [](MeasurementState& s) {
                      s.WireTable.clear();
                      s.WireIndex = 0;
                    }},
        FailingCase{"HugeSpan", [](MeasurementState& s) { s.SpanLength = 1e30f; }},
        FailingCase{"TinyArea", SetWire(&WireRecord::Area, 1e-30f)},
        FailingCase{"UnreachableStress", SetWire(&WireRecord::Area, 1e-6f)}),
    [](const ::testing::TestParamInfo<FailingCase>& param_info) { return param_info.param.name; });

// A span of 0 leaves only the thermal term: a = M = 0, so x^2 (x - k) = 0
// with k = s1 - th, G = (s1 - th) * Area, and the specified sag is 0.
TEST(EvaluateTension, ZeroSpan) {
  MeasurementState state = WorkedExampleState();
  state.SpanLength = 0;
  const TensionOutcome out = EvaluateTension(state, AllTicked(1500));
  ASSERT_TRUE(out.ok()) << out.failure->English();
  const double s1 = 60.0 / 2.5 * 1000.0 / 9.8 / 180.0;
  const double th = (20.0 - -5.0) * 19e-6 * (90.0 * 1000.0 / 9.8);
  EXPECT_NEAR(*out.SpanAllowBC, (s1 - th) * 180.0, 0.01);
  EXPECT_EQ(*out.SpecifiedSag, 0.0);
  EXPECT_EQ(*out.shown.specified_sag, "0.00");
}

TEST(EvaluateTension, NonFinitePresentTensionFails) {
  TensionInputs in;
  in.TensionEst = {3e38f, 3e38f, 0};
  in.Check3 = {1, 1, 0};
  const TensionOutcome out = EvaluateTension(WorkedExampleState(), in);
  EXPECT_EQ(out.shown.present_tension, "");
  EXPECT_FALSE(out.SpanAllowA.has_value());
  ExpectNothingAfterPresentTension(out);
}

}  // namespace
}  // namespace sarn
