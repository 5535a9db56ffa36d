#include "sag/sag_computation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace sarn {
namespace {

// The conductor of the worked example: a parabola with p = 40, 22.5, 10 and
// 2.5 pixels in passes 0..3 (p = 2.5 (4 - i)^2), lowest at station 4, row 500:
// the end rows of each pass sum to 1000 - 2 p.
constexpr std::array<int16_t, 9> kParabola = {460, 477, 490, 497, 500, 498, 490, 478, 460};

MeasurementState ExampleState() {
  MeasurementState state;
  state.SpanLength = 40;
  state.ApproxDistance = 60;
  state.ApproxHeight = 10;
  WireRecord light;
  light.Weight = 1.0f;
  WireRecord heavy;
  heavy.Weight = 2.5f;
  state.WireTable = {light, heavy};
  state.WireLast = 1;
  state.WireIndex = 0;
  return state;
}

// Chord from column 100 to column 900: 800 pixels for 40 m.
SagInputs ExampleInputs() {
  SagInputs inputs;
  inputs.WireY = kParabola;
  inputs.ChordX1 = 100;
  inputs.ChordX2 = 900;
  return inputs;
}

TEST(SagComputationTest, WorkedExampleWithoutCorrections) {
  const SagOutcome out = ComputeSag(ExampleState(), ExampleInputs());
  const std::array<float, 4> sags = {2.0f, 1.125f, 0.5f, 0.125f};
  const std::array<float, 4> chords = {40, 30, 20, 10};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(out.SagEst[i], sags[i]) << i;
    EXPECT_FLOAT_EQ(out.ChordLength[i], chords[i]) << i;
    EXPECT_FLOAT_EQ(out.TensionEst[i], 100.0f) << i;  // chord^2 * 1 / 8 / sag
    EXPECT_TRUE(out.SagDefined[i]);
    EXPECT_TRUE(out.EstimateDefined[i]);
  }
  EXPECT_FLOAT_EQ(out.WidthFactor, 1.0f);
  EXPECT_FLOAT_EQ(out.MeanTension, 100.0f);
  EXPECT_FALSE(out.failure);
  EXPECT_EQ(out.sag_text, "2.000");
  for (const std::string& text : out.estimate_texts)
    EXPECT_EQ(text, "100.0");
  EXPECT_EQ(PreselectEstimates(out, {0, 0, 0}), (std::array<int, 3>{1, 1, 1}));
}

TEST(SagComputationTest, MirrorAndRightToLeftGiveTheSameSag) {
  const SagOutcome reference = ComputeSag(ExampleState(), ExampleInputs());

  SagInputs mirror = ExampleInputs();  // conductor above the chord: p < 0
  for (int16_t& row : mirror.WireY)
    row = static_cast<int16_t>(1000 - row);
  SagInputs reversed = ExampleInputs();  // drawn from right to left
  reversed.ChordX1 = 900;
  reversed.ChordX2 = 100;
  for (size_t i = 0; i < 9; ++i)
    reversed.WireY[i] = kParabola[8 - i];

  for (const SagInputs& inputs : {mirror, reversed}) {
    const SagOutcome out = ComputeSag(ExampleState(), inputs);
    EXPECT_EQ(out.SagEst, reference.SagEst);
    EXPECT_EQ(out.TensionEst, reference.TensionEst);
    EXPECT_EQ(out.sag_text, "2.000");
  }
}

TEST(SagComputationTest, ConductorOnTheChordShowsZeros) {
  SagInputs inputs = ExampleInputs();
  inputs.WireY = {300, 305, 310, 315, 320, 325, 330, 335, 340};  // a straight line
  const SagOutcome out = ComputeSag(ExampleState(), inputs);
  EXPECT_EQ(out.sag_text, "0.000");
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(out.TensionEst[i], 0.0f);  // sag 0: the estimate step fails
    EXPECT_EQ(out.estimate_texts[i], "0.0");
  }
  EXPECT_EQ(out.MeanTension, 0.0f);
  EXPECT_EQ(PreselectEstimates(out, {0, 0, 0}), (std::array<int, 3>{0, 0, 0}));
}

TEST(SagComputationTest, ZeroChordExtentLeavesEverythingEmpty) {
  // Before the first trace: all rows 0 and no extent; likewise a click without
  // a drag, whose chord has one column.
  SagInputs before_trace;
  SagInputs click = ExampleInputs();
  click.ChordX2 = click.ChordX1;
  for (const SagInputs& inputs : {before_trace, click}) {
    for (std::array<int, 3> correction : {std::array<int, 3>{0, 0, 0}, {1, 1, 1}}) {
      SagInputs with = inputs;
      with.Check6 = correction;
      const SagOutcome out = ComputeSag(ExampleState(), with);
      EXPECT_EQ(out.sag_text, "");
      for (size_t i = 0; i < 4; ++i) {
        EXPECT_FALSE(out.SagDefined[i]);
        EXPECT_FALSE(out.EstimateDefined[i]);
        EXPECT_EQ(out.TensionEst[i], 0.0f);
      }
      for (const std::string& text : out.estimate_texts)
        EXPECT_EQ(text, "");
      EXPECT_EQ(out.MeanTension, 0.0f);
      EXPECT_EQ(PreselectEstimates(out, {1, 1, 1}), (std::array<int, 3>{0, 0, 0}));
    }
  }
}

TEST(SagComputationTest, SpanCorrectionShortensTheInnerChords) {
  SagInputs inputs = ExampleInputs();
  inputs.Check6 = {0, 0, 1};
  const SagOutcome out = ComputeSag(ExampleState(), inputs);
  // 2 D tan(f atan(L / 2D)) with L = 40, D = 60.
  const std::array<float, 4> chords = {40.0f, 29.533f, 19.473f, 9.673f};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(out.ChordLength[i], chords[i], 5e-4) << i;
    // The sag does not depend on the chord; the estimate goes with its square.
    EXPECT_FLOAT_EQ(out.SagEst[i], ComputeSag(ExampleState(), ExampleInputs()).SagEst[i]);
    // sag = (4 - i)^2 / 8 m, so T = chord^2 / (4 - i)^2 with w = 1.
    const double quarters = 4.0 - static_cast<double>(i);
    EXPECT_NEAR(out.TensionEst[i], chords[i] * chords[i] / (quarters * quarters), 0.01) << i;
  }
  EXPECT_LT(out.ChordLength[1], 30.0f);
}

TEST(SagComputationTest, WidthCorrectionScalesEverySag) {
  SagInputs inputs = ExampleInputs();
  inputs.Check6 = {1, 0, 0};
  const SagOutcome out = ComputeSag(ExampleState(), inputs);
  EXPECT_NEAR(out.WidthFactor, 0.96534, 5e-6);
  const std::array<double, 4> sags = {2.0, 1.125, 0.5, 0.125};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(out.SagEst[i], sags[i] * 0.9653410, 1e-6) << i;
    EXPECT_NEAR(out.TensionEst[i], 100.0 / 0.9653410, 1e-3) << i;
  }
  EXPECT_EQ(out.sag_text, "1.931");
}

TEST(SagComputationTest, HeightCorrection) {
  SagInputs inputs = ExampleInputs();
  inputs.Check6 = {0, 1, 0};
  MeasurementState state = ExampleState();  // D = 60, Hh = 10
  const SagOutcome out = ComputeSag(state, inputs);
  EXPECT_NEAR(out.SagEst[0], 2.0166, 1e-4);
  EXPECT_EQ(out.sag_text, "2.017");
  // Hh = 0 leaves every sag as it was.
  state.ApproxHeight = 0;
  const SagOutcome level = ComputeSag(state, inputs);
  const std::array<float, 4> sags = {2.0f, 1.125f, 0.5f, 0.125f};
  for (size_t i = 0; i < 4; ++i)
    EXPECT_FLOAT_EQ(level.SagEst[i], sags[i]) << i;
}

TEST(SagFailureTest, SpanCorrectionWithZeroDistanceKeepsTheFraction) {
  MeasurementState state = ExampleState();
  state.ApproxDistance = 0;
  SagInputs inputs = ExampleInputs();
  inputs.Check6 = {0, 0, 1};
  const SagOutcome out = ComputeSag(state, inputs);
  const std::array<float, 4> fractions = {1.0f, 0.75f, 0.5f, 0.25f};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(out.ChordLength[i], fractions[i]) << i;
    // f^2 * 1 / 8 / (2 f^2) = 1/16: the fraction is used as the chord.
    EXPECT_FLOAT_EQ(out.TensionEst[i], 0.0625f) << i;
  }
  EXPECT_EQ(out.estimate_texts[0], "0.1");
  EXPECT_EQ(out.sag_text, "2.000");
}

TEST(SagFailureTest, WidthCorrectionWithZeroDistanceZeroesTheSags) {
  MeasurementState state = ExampleState();
  state.ApproxDistance = 0;
  SagInputs inputs = ExampleInputs();
  inputs.Check6 = {1, 0, 0};
  const SagOutcome out = ComputeSag(state, inputs);
  EXPECT_EQ(out.WidthFactor, 0.0f);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(out.SagEst[i], 0.0f);
    EXPECT_EQ(out.TensionEst[i], 0.0f);
  }
  EXPECT_EQ(out.sag_text, "0.000");
  for (const std::string& text : out.estimate_texts)
    EXPECT_EQ(text, "0.0");
}

TEST(SagFailureTest, HeightCorrectionWithZeroDistanceLeavesTheSags) {
  MeasurementState state = ExampleState();
  state.ApproxDistance = 0;
  SagInputs inputs = ExampleInputs();
  inputs.Check6 = {0, 1, 0};
  const SagOutcome out = ComputeSag(state, inputs);
  const std::array<float, 4> sags = {2.0f, 1.125f, 0.5f, 0.125f};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(out.SagEst[i], sags[i]) << i;
    EXPECT_FLOAT_EQ(out.TensionEst[i], 100.0f) << i;
  }
}

TEST(SagFailureTest, ConductorOutsideTheTableShowsSagsWithoutEstimates) {
  for (int16_t index : {int16_t{2}, int16_t{-1}}) {
    MeasurementState state = ExampleState();
    state.WireIndex = index;
    const SagOutcome out = ComputeSag(state, ExampleInputs());
    EXPECT_EQ(out.sag_text, "2.000");
    EXPECT_FLOAT_EQ(out.SagEst[3], 0.125f);
    for (size_t i = 0; i < 4; ++i)
      EXPECT_EQ(out.TensionEst[i], 0.0f) << i;
    for (const std::string& text : out.estimate_texts)
      EXPECT_EQ(text, "0.0");
  }
  MeasurementState empty = ExampleState();
  empty.WireTable.clear();
  EXPECT_EQ(ComputeSag(empty, ExampleInputs()).TensionEst[0], 0.0f);
}

TEST(SagFailureTest, RowSumBeyondSixteenBitsSkipsThatPassOnly) {
  SagInputs inputs = ExampleInputs();
  // Pass 0: 17000 + 17000 does not fit 16 bits; passes 1..3: p = 10.
  inputs.WireY = {17000, 16000, 16000, 16000, 16010, 16000, 16000, 16000, 17000};
  const SagOutcome out = ComputeSag(ExampleState(), inputs);
  EXPECT_FALSE(out.SagDefined[0]);
  ASSERT_TRUE(out.failure);
  EXPECT_EQ(out.failure->English(), "the sag of pass 0 is not known");
  EXPECT_EQ(out.SagEst[0], 0.0f);
  EXPECT_EQ(out.TensionEst[0], 0.0f);
  EXPECT_EQ(out.sag_text, "");
  EXPECT_EQ(out.estimate_texts[0], "");
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_TRUE(out.SagDefined[i]);
    EXPECT_FLOAT_EQ(out.SagEst[i], 0.5f) << i;  // 40 * 10 / 800
  }
  EXPECT_EQ(out.estimate_texts[1], "225.0");  // 30^2 / 8 / 0.5
  EXPECT_EQ(out.estimate_texts[2], "100.0");  // 20^2 / 8 / 0.5
}

TEST(SagComputationTest, ChangingTheConductorScalesTheEstimatesByWeight) {
  MeasurementState state = ExampleState();
  state.WireIndex = 1;  // 2.5 kg/m
  const SagOutcome out = ComputeSag(state, ExampleInputs());
  EXPECT_EQ(out.SagEst, ComputeSag(ExampleState(), ExampleInputs()).SagEst);
  for (size_t i = 0; i < 4; ++i)
    EXPECT_FLOAT_EQ(out.TensionEst[i], 250.0f) << i;
  EXPECT_EQ(out.estimate_texts[2], "250.0");
}

TEST(SagComputationTest, InputsThatAreNotNumbersNeverShowAsText) {
  MeasurementState state = ExampleState();
  SagInputs inputs = ExampleInputs();
  inputs.ChordX2 = std::numeric_limits<float>::infinity();
  const SagOutcome out = ComputeSag(state, inputs);
  EXPECT_EQ(out.sag_text, "");
  state.SpanLength = std::numeric_limits<float>::quiet_NaN();
  const SagOutcome nan_span = ComputeSag(state, ExampleInputs());
  EXPECT_EQ(nan_span.sag_text, "");
  for (const std::string& text : nan_span.estimate_texts)
    EXPECT_EQ(text.find_first_of("ni"), std::string::npos) << text;
}

// Precision rows replace WireY in p: whole rows give the worked example
// exactly; fractional rows give a fractional p; a NaN row fails only the
// passes that read it.
TEST(SagComputationTest, PreciseRowsFormTheSagInFloatingPoint) {
  SagInputs inputs = ExampleInputs();
  std::array<float, 9> rows{};
  for (size_t i = 0; i < 9; ++i)
    rows[i] = kParabola[i];
  inputs.PreciseRows = rows;
  inputs.WireY = {};  // not read
  EXPECT_FLOAT_EQ(ComputeSag(ExampleState(), inputs).SagEst[0], 2.0f);

  rows[4] += 0.25f;  // p = 40.25 px of 800 for 40 m
  rows[0] -= 0.5f;   // p of pass 0: 500.25 - (459.5 + 460) / 2 = 40.5
  inputs.PreciseRows = rows;
  const SagOutcome out = ComputeSag(ExampleState(), inputs);
  EXPECT_FLOAT_EQ(out.SagEst[0], static_cast<float>(40.0 * 40.5 / 800));
  EXPECT_FLOAT_EQ(out.SagEst[1], static_cast<float>(40.0 * 22.75 / 800));

  rows[0] = std::numeric_limits<float>::quiet_NaN();
  inputs.PreciseRows = rows;
  const SagOutcome nan_row = ComputeSag(ExampleState(), inputs);
  EXPECT_FALSE(nan_row.SagDefined[0]);
  EXPECT_TRUE(nan_row.SagDefined[1]);
}

// Lens-corrected points: the stations no longer evenly spaced and the middle
// one off each chord's midpoint. On a parabola the sag of every pass is its
// vertical distance below the chord at the chord's middle, c (w / 2)^2, in
// metres by the corrected extent; WireY and PreciseRows are not read.
TEST(SagComputationTest, CorrectedPointsGiveTheSagAtEachChordsMiddle) {
  const double c = 40.0 / (400.0 * 400.0);  // rows per column^2, downwards
  CorrectedPoints points;
  for (size_t j = 0; j < 9; ++j) {
    const double n = static_cast<double>(j);
    points.x[j] = 100.0 + 100.0 * n + 30.0 * std::sin(0.9 * n) + 4.0 * n * n;
    // A sloping parabola: its distance from any chord is c (x - a)(b - x).
    points.y[j] = 300.0 + 0.1 * points.x[j] + c * (points.x[j] - 550) * (points.x[j] - 550);
  }
  points.chord_x1 = points.x[0] - 2;
  points.chord_x2 = points.x[8] + 3;
  SagInputs inputs = ExampleInputs();
  inputs.WireY = {};
  inputs.Corrected = points;
  const SagOutcome out = ComputeSag(ExampleState(), inputs);
  const double extent = points.chord_x2 - points.chord_x1;
  for (size_t i = 0; i < 4; ++i) {
    const double w = points.x[8 - i] - points.x[i];
    EXPECT_NEAR(out.SagEst[i], 40.0 * c * w * w / 4 / extent, 2e-6) << i;
    EXPECT_TRUE(out.SagDefined[i]) << i;
  }
  // Evenly spaced points give the formula of the uncorrected chain.
  for (size_t j = 0; j < 9; ++j) {
    points.x[j] = 100.0 + 100.0 * static_cast<double>(j);
    points.y[j] = kParabola[j];
  }
  points.chord_x1 = 100;
  points.chord_x2 = 900;
  inputs.Corrected = points;
  const SagOutcome even = ComputeSag(ExampleState(), inputs);
  const SagOutcome plain = ComputeSag(ExampleState(), ExampleInputs());
  for (size_t i = 0; i < 4; ++i)
    EXPECT_FLOAT_EQ(even.SagEst[i], plain.SagEst[i]) << i;
  // A middle point outside its chord leaves that pass's sag undefined.
  EXPECT_FALSE(ChordSagPixels(0, 0, 10, 5, 5, 0).has_value());
}

}  // namespace
}  // namespace sarn
