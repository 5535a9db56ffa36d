#include <gtest/gtest.h>

#include <array>

#include "sag/sag_computation.h"

namespace sarn {
namespace {

// A sag outcome carrying just the estimates and their plain mean.
SagOutcome WithEstimates(float a, float b, float c, float mean) {
  SagOutcome sag;
  sag.TensionEst = {a, b, c, 0};
  sag.EstimateDefined = {true, true, true, true};
  sag.SagDefined = {true, true, true, true};
  sag.MeanTension = mean;
  return sag;
}

struct ThirtiethCase {
  float present;
  float estimate;
  bool within;
};

class WithinOneThirtiethTest : public ::testing::TestWithParam<ThirtiethCase> {};

TEST_P(WithinOneThirtiethTest, IsStrict) {
  const ThirtiethCase& c = GetParam();
  EXPECT_EQ(WithinOneThirtieth(c.present, c.estimate), c.within)
      << c.present << " vs " << c.estimate;
}

// Values exact in float: 30 / 30 = 1, 300 / 30 = 10, 30.96875 = 30 + 31/32.
INSTANTIATE_TEST_SUITE_P(
    Boundary, WithinOneThirtiethTest,
    ::testing::Values(ThirtiethCase{30, 31, false},  // exactly a thirtieth above
                      ThirtiethCase{30, 29, false},  // exactly a thirtieth below
                      ThirtiethCase{30, 30.96875f, true}, ThirtiethCase{30, 29.03125f, true},
                      ThirtiethCase{300, 310, false}, ThirtiethCase{300, 309.99f, true},
                      ThirtiethCase{300, 290.01f, true}, ThirtiethCase{100, 100, true},
                      ThirtiethCase{0, 0, false},  // 0 < 0 is false
                      ThirtiethCase{100, 0, false}));

TEST(PreselectionTest, NestedReevaluationOfTheWorkedExample) {
  // Mean 100.0333: all three lie within a thirtieth of it, but each changed
  // box re-evaluates the present tension first: 100, then 101.6, and 96.9 is
  // 4.7 away from 101.6 (more than 101.6 / 30 = 3.387).
  const SagOutcome sag = WithEstimates(100.0f, 103.2f, 96.9f, (100.0f + 103.2f + 96.9f) / 3.0f);
  EXPECT_TRUE(WithinOneThirtieth(sag.MeanTension, 96.9f));
  EXPECT_EQ(PreselectEstimates(sag, {0, 0, 0}), (std::array<int, 3>{1, 1, 0}));
}

TEST(PreselectionTest, UnchangedBoxesRaiseNoReevaluation) {
  const SagOutcome sag = WithEstimates(100.0f, 103.2f, 96.9f, (100.0f + 103.2f + 96.9f) / 3.0f);
  // Nothing changes, so every box is compared with the plain mean.
  EXPECT_EQ(PreselectEstimates(sag, {1, 1, 1}), (std::array<int, 3>{1, 1, 1}));
  // Box 0 changes: present = mean(100, 96.9) = 98.45; 103.2 is 4.75 away
  // (more than 3.28) and stays 0; 96.9 is 1.55 away and stays 1.
  EXPECT_EQ(PreselectEstimates(sag, {0, 0, 1}), (std::array<int, 3>{1, 0, 1}));
}

TEST(PreselectionTest, ExactlyAThirtiethAwayIsNotSelected) {
  // Box 0 ticks and makes the present tension 30; 31 and 29 lie exactly 1 away.
  EXPECT_EQ(PreselectEstimates(WithEstimates(30, 31, 29, 30), {0, 0, 0}),
            (std::array<int, 3>{1, 0, 0}));
  // 30.96875 is nearer: ticked, the present tension becomes 30.484375, and 29
  // lies 1.484375 away, more than 30.484375 / 30.
  EXPECT_EQ(PreselectEstimates(WithEstimates(30, 30.96875f, 29, 30), {0, 0, 0}),
            (std::array<int, 3>{1, 1, 0}));
  // A ticked box that is no longer within is cleared; that makes the present
  // tension mean(30, 29) = 29.5, and 29 is then within and stays ticked.
  EXPECT_EQ(PreselectEstimates(WithEstimates(30, 31, 29, 30), {1, 1, 1}),
            (std::array<int, 3>{1, 0, 1}));
}

TEST(PreselectionTest, UndefinedEstimatesAreNeverTicked) {
  SagOutcome sag = WithEstimates(100, 100, 100, 100);
  sag.EstimateDefined[1] = false;
  EXPECT_EQ(PreselectEstimates(sag, {1, 1, 1}), (std::array<int, 3>{1, 0, 1}));
}

}  // namespace
}  // namespace sarn
