#include "tension/stringing_chart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "tension/chart_axes.h"
#include "tension/stringing_chart_text.h"
#include "tension/worked_example.h"

namespace sarn {
namespace {

using testing::WorkedExampleRecord;
using testing::WorkedExampleState;

// The state equation x - A / x^2 = rhs solved for the stress by bisection on
// its own left side, which rises monotonically for x > 0 (derivative
// 1 + 2A / x^3), independently of the cubic form the program solves.
double IndependentStress(double A, double rhs) {
  double low = 1e-9, high = 1e7;
  for (int i = 0; i < 300; ++i) {
    const double mid = 0.5 * (low + high);
    (mid - A / (mid * mid) - rhs > 0 ? high : low) = mid;
  }
  return 0.5 * (low + high);
}

// The load ratio q from the loads written out again: wind 980 Pa x WindFactor
// (A) or 490 Pa (B on Diameter + 12 mm, C), ice 0.9 t/m3 in 6 mm (B).
double IndependentLoadRatio(const WireRecord& r, LoadClass c) {
  const double wv = r.Weight * 9.8;
  double ww = r.Diameter / 1000.0 * 490.0, wi = 0;
  if (c == LoadClass::A)
    ww = r.Diameter / 1000.0 * 980.0 * r.WindFactor;
  if (c == LoadClass::B) {
    ww = (r.Diameter + 12.0) / 1000.0 * 490.0;
    wi = (r.Diameter + 6.0) * 5.4 * 3.1415927410125732e-3 * 9.8;
  }
  return std::hypot(ww, wv + wi) / wv;
}

WireRecord RandomConductor(std::mt19937& rng) {
  auto uniform = [&](double lo, double hi) {
    return static_cast<float>(std::uniform_real_distribution<double>(lo, hi)(rng));
  };
  WireRecord r;
  r.Name = "RANDOM";
  r.Area = uniform(14, 800);
  r.Weight = r.Area * uniform(0.0025, 0.009);  // kg/m: aluminium to copper
  r.BreakLoad = r.Area * uniform(0.1, 0.45);
  r.SafetyFactor = uniform(2.0, 4.0);
  r.Elasticity = uniform(50, 160);
  r.Expansion = uniform(11, 24);
  r.Diameter = std::sqrt(r.Area) * uniform(1.1, 1.4);
  r.WindFactor = uniform(0.6, 1.2);
  return r;
}

// Random conductors, spans from 10 to 600 m, present tensions from 3 % to 90 %
// of the allowable: every row and condition agrees with the independent
// solution to 0.1 %, and each sag is W S^2 / (8 T).
TEST(StringingChart, AgreesWithAnIndependentSolution) {
  std::mt19937 rng(12);
  for (int trial = 0; trial < 300; ++trial) {
    StringingChartInputs in;
    in.wire = RandomConductor(rng);
    const WireRecord& r = in.wire;
    const double Ta = r.BreakLoad / r.SafetyFactor * 1000.0 / 9.8;
    in.span_m = std::uniform_real_distribution<double>(10, 600)(rng);
    in.air_temp_c = std::uniform_real_distribution<double>(-15, 40)(rng);
    in.present_tension_kgf = Ta * std::uniform_real_distribution<double>(0.03, 0.9)(rng);
    in.design_temps_c = {15, -5};
    const StringingChartResult result = ComputeStringingChart(in);
    ASSERT_TRUE(result.ok()) << result.failure().English();
    const StringingChart& chart = *result;
    ASSERT_EQ(chart.rows.size(), 13u);

    const double E = r.Elasticity * 1000.0 / 9.8, alpha = r.Expansion * 1e-6;
    const double w = double{r.Weight} / r.Area, S = in.span_m;
    const double x0 = in.present_tension_kgf / r.Area;
    auto rhs = [&](double t) {
      return x0 - E * S * S * w * w / (24 * x0 * x0) - E * alpha * (t - in.air_temp_c);
    };
    for (const ChartRow& row : chart.rows) {
      const double expected =
          IndependentStress(E * S * S * w * w / 24, rhs(row.temperature_c)) * r.Area;
      ASSERT_TRUE(row.tension_kgf && row.sag_m);
      EXPECT_NEAR(*row.tension_kgf, expected, 1e-3 * expected) << "trial " << trial;
      EXPECT_NEAR(*row.sag_m, r.Weight * S * S / (8 * expected), 1e-3 * *row.sag_m);
    }
    for (const ChartCondition& c : chart.conditions) {
      const double q = IndependentLoadRatio(r, c.load_class);
      const double expected =
          IndependentStress(E * S * S * q * q * w * w / 24, rhs(c.temperature_c)) * r.Area;
      ASSERT_TRUE(c.tension_kgf && c.percent_of_allowable);
      EXPECT_NEAR(*c.tension_kgf, expected, 1e-3 * expected) << "trial " << trial;
      EXPECT_NEAR(*c.percent_of_allowable, expected / Ta * 100, 0.1 * expected / Ta);
    }
  }
}

// With T0 equal to a condition's span allowable tension (as the evaluation
// computes it in 32-bit steps), that condition's tension is Ta: 100 %.
TEST(StringingChart, SpanAllowableTensionGivesOneHundredPercent) {
  std::mt19937 rng(5);
  std::vector<MeasurementState> states = {WorkedExampleState()};
  for (int i = 0; i < 40; ++i) {
    MeasurementState s = WorkedExampleState();
    s.WireTable[0] = RandomConductor(rng);
    s.SpanLength = std::uniform_real_distribution<float>(15, 500)(rng);
    s.AirTemp = std::uniform_real_distribution<float>(-10, 35)(rng);
    states.push_back(s);
  }
  for (const MeasurementState& s : states) {
    for (size_t i = 0; i < 3; ++i) {
      const LoadClass load = std::array{LoadClass::A, LoadClass::B, LoadClass::C}[i];
      const float allowable = AllowTensionDetail(s, load)->tension;
      const StringingChartResult result = ComputeStringingChart(s, allowable);
      ASSERT_TRUE(result.ok()) << result.failure().English();
      const ChartCondition& c = result->conditions[i];
      EXPECT_EQ(c.load_class, load);
      ASSERT_TRUE(c.percent_of_allowable);
      EXPECT_NEAR(*c.percent_of_allowable, 100.0, 0.01)
          << "class " << LoadClassLetter(load) << " span " << s.SpanLength;
    }
  }
}

struct RefusedCase {
  const char* name;
  void (*spoil)(StringingChartInputs&);
  const char* reason;  // a part of the message
};

class RefusedInputs : public ::testing::TestWithParam<RefusedCase> {};

// Degenerate inputs give a failure with a reason, never a chart of numbers.
TEST_P(RefusedInputs, GiveAFailure) {
  StringingChartInputs in;
  in.wire = WorkedExampleRecord();
  in.span_m = 40;
  in.air_temp_c = 20;
  in.present_tension_kgf = 1500;
  in.design_temps_c = {15, -5};
  ASSERT_TRUE(ComputeStringingChart(in).ok());
  GetParam().spoil(in);
  const StringingChartResult result = ComputeStringingChart(in);
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.failure().English().find(GetParam().reason), std::string::npos)
      << result.failure().English();
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedInputs,
    ::testing::Values(
        RefusedCase{"ZeroWeight", [](StringingChartInputs& i) { i.wire.Weight = 0; }, "Weight"},
        RefusedCase{"NegativeArea", [](StringingChartInputs& i) { i.wire.Area = -180; }, "Area"},
        RefusedCase{"NaNElasticity",
                    [](StringingChartInputs& i) { i.wire.Elasticity = static_cast<float>(kNaN); },
                    "Elasticity"},
        RefusedCase{"ZeroSafetyFactor", [](StringingChartInputs& i) { i.wire.SafetyFactor = 0; },
                    "SafetyFactor"},
        RefusedCase{"NegativeDiameter", [](StringingChartInputs& i) { i.wire.Diameter = -1; },
                    "Diameter"},
        RefusedCase{"ZeroSpan", [](StringingChartInputs& i) { i.span_m = 0; }, "span"},
        RefusedCase{"InfiniteSpan", [](StringingChartInputs& i) { i.span_m = kInf; }, "span"},
        RefusedCase{"NoPresentTension", [](StringingChartInputs& i) { i.present_tension_kgf = 0; },
                    "present tension"},
        RefusedCase{"NegativePresentTension",
                    [](StringingChartInputs& i) { i.present_tension_kgf = -1; }, "present tension"},
        RefusedCase{"NaNAirTemp", [](StringingChartInputs& i) { i.air_temp_c = kNaN; }, "air"},
        RefusedCase{"InfiniteDesignTemp",
                    [](StringingChartInputs& i) { i.design_temps_c[1] = -kInf; }, "design"},
        RefusedCase{"ZeroStep", [](StringingChartInputs& i) { i.range.step_c = 0; }, "step"},
        RefusedCase{"NegativeStep", [](StringingChartInputs& i) { i.range.step_c = -5; }, "step"},
        RefusedCase{"NaNStep", [](StringingChartInputs& i) { i.range.step_c = kNaN; }, "range"},
        RefusedCase{"Reversed", [](StringingChartInputs& i) { i.range.to_c = -30; }, "range"},
        RefusedCase{"TooManyRows", [](StringingChartInputs& i) { i.range.step_c = 0.05; },
                    "too many rows"}),
    [](const ::testing::TestParamInfo<RefusedCase>& param_info) {
      return std::string(param_info.param.name);
    });

struct RangeCase {
  TemperatureRange range;
  size_t rows;
  double last;
};

TEST(ChartTemperatures, StepsUpToTheEnd) {
  for (const RangeCase& c : {RangeCase{{-20, 40, 5}, 13, 40}, RangeCase{{-20, 40, 7}, 9, 36},
                             RangeCase{{-20, 40, 0.1}, 601, 40}, RangeCase{{0, 0, 1}, 1, 0},
                             RangeCase{{-20, 40, 100}, 1, -20}}) {
    const Result<std::vector<double>> t = ChartTemperatures(c.range);
    ASSERT_TRUE(t) << t.failure().English();
    EXPECT_EQ(t->size(), c.rows) << c.range.step_c;
    EXPECT_NEAR(t->back(), c.last, 1e-9) << c.range.step_c;
  }
}

// A conductor whose state equation leaves the double range (a section of
// 1e-38 mm2) still gives a chart of its inputs, and every value it cannot
// solve is written as having no solution, never as a number.
TEST(StringingChart, NoSolutionIsWrittenAsSuch) {
  StringingChartInputs in;
  in.wire = WorkedExampleRecord();
  in.wire.Area = 1e-38f;
  in.span_m = 1e120;
  in.air_temp_c = 20;
  in.present_tension_kgf = 1;
  in.design_temps_c = {15, -5};
  const StringingChartResult result = ComputeStringingChart(in);
  ASSERT_TRUE(result.ok()) << result.failure().English();
  for (const ChartRow& row : result->rows)
    EXPECT_FALSE(row.tension_kgf || row.sag_m);
  for (const ChartCondition& c : result->conditions)
    EXPECT_FALSE(c.tension_kgf || c.percent_of_allowable);
  const std::string csv = StringingChartCsv(*result);
  EXPECT_NE(csv.find("-20,no solution,no solution\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\nB,-5,"), std::string::npos) << csv;
  const std::string table = StringingChartTable(*result);
  EXPECT_NE(table.find("40\t解なし\t解なし\n"), std::string::npos) << table;
  EXPECT_EQ(table.find("nan"), std::string::npos);
  EXPECT_EQ(table.find("inf"), std::string::npos);
}

// The worked example's chart as text: headings with units, one line per
// temperature, the conditions with their share of Ta.
TEST(StringingChartText, WorkedExample) {
  const StringingChartResult result = ComputeStringingChart(WorkedExampleState(), 1500);
  ASSERT_TRUE(result.ok()) << result.failure().English();
  const std::string csv = StringingChartCsv(*result);
  EXPECT_EQ(csv.rfind("conductor,span_m,air_temp_C,present_tension_kgf,present_sag_m,"
                      "allowable_tension_kgf\r\n\"EXAMPLE 180\",40.00,20.0,1500.0,0.093,2449.0\r\n"
                      "\r\ntemperature_C,tension_kgf,sag_m\r\n-20,",
                      0),
            0u)
      << csv;
  // At the air temperature the chart gives the present condition back.
  EXPECT_NE(csv.find("\r\n20,1500.0,0.093\r\n"), std::string::npos) << csv;
  EXPECT_NE(
      csv.find("class,temperature_C,load_ratio,tension_kgf,percent_of_allowable\r\nA,15,2.759,"),
      std::string::npos)
      << csv;
  const std::string table = StringingChartTable(*result);
  EXPECT_NE(table.find("温度(℃)\t張力(kgf)\t弛度(m)\n-20\t"), std::string::npos) << table;
  EXPECT_NE(table.find("\n乙種\t-5\t2.663\t"), std::string::npos) << table;
  // The cells every face shows, formatted once.
  const StringingChartTexts texts = ChartTexts(*result, "-");
  EXPECT_EQ(texts.span + " " + texts.air_temp + " " + texts.present_tension + " " +
                texts.present_sag + " " + texts.allowable_tension,
            "40.00 20.0 1500.0 0.093 2449.0");
  ASSERT_EQ(texts.rows.size(), 13u);
  EXPECT_EQ(texts.rows[8].temperature + " " + texts.rows[8].tension + " " + texts.rows[8].sag,
            "20 1500.0 0.093");
  EXPECT_EQ(texts.conditions[1].caption + " " + texts.conditions[1].letter + " " +
                texts.conditions[1].temperature + " " + texts.conditions[1].load_ratio,
            "乙種 B -5 2.663");
  EXPECT_EQ(SpecifiedSagText(0.0925), "0.09");
}

struct AxisCase {
  double low, high;
  int ticks;
  ChartAxis expected;
  std::vector<std::string> labels;
};

// Steps of 1, 2, 2.5 or 5 times a power of ten, the axis widened to whole
// steps, labels with the decimals of the step; a point widened first.
TEST(ChartAxis, StepsAndLabels) {
  const AxisCase cases[] = {
      {-20,
       40,
       kTemperatureAxisTicks,
       {-20, 40, 10, 0},
       {"-20", "-10", "0", "10", "20", "30", "40"}},
      {-10.5, 30, kTemperatureAxisTicks, {-20, 30, 10, 0}, {"-20", "-10", "0", "10", "20", "30"}},
      {0, 12, kValueAxisTicks, {0, 12.5, 2.5, 1}, {"0.0", "2.5", "5.0", "7.5", "10.0", "12.5"}},
      {1510, 1790, kValueAxisTicks, {1500, 1800, 100, 0}, {"1500", "1600", "1700", "1800"}},
      {0.0625,
       0.125,
       kValueAxisTicks,
       {0.06, 0.14, 0.02, 2},
       {"0.06", "0.08", "0.10", "0.12", "0.14"}},
      {20, 20, kTemperatureAxisTicks, {18, 22, 1, 0}, {"18", "19", "20", "21", "22"}},
  };
  for (const AxisCase& c : cases) {
    const ChartAxis axis = ChartAxisOver(c.low, c.high, c.ticks);
    EXPECT_NEAR(axis.low, c.expected.low, 1e-9) << c.low << ".." << c.high;
    EXPECT_NEAR(axis.step, c.expected.step, 1e-9) << c.low << ".." << c.high;
    EXPECT_EQ(axis.decimals, c.expected.decimals) << c.low << ".." << c.high;
    std::vector<std::string> labels;
    for (double tick : axis.Ticks())
      labels.push_back(axis.Label(tick));
    if (c.expected.high - c.expected.low > axis.high - axis.low + 1e-9)
      ADD_FAILURE() << "axis ends early: " << axis.high;
    EXPECT_EQ(labels, c.labels) << c.low << ".." << c.high;
  }
}

}  // namespace
}  // namespace sarn
