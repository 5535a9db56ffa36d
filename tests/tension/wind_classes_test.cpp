#include "tension/wind_classes.h"

#include <gtest/gtest.h>

#include <random>

namespace sarn {
namespace {

using Boxes = std::array<int, 3>;

TEST(WindClassReaction, Table) {
  using Settings = std::vector<std::pair<int, int>>;
  EXPECT_EQ(WindClassReaction(0, 0), (Settings{{2, 1}, {1, 0}}));
  EXPECT_EQ(WindClassReaction(0, 1), Settings{});
  EXPECT_EQ(WindClassReaction(1, 1), (Settings{{2, 0}, {0, 1}}));
  EXPECT_EQ(WindClassReaction(1, 0), (Settings{{2, 1}}));
  EXPECT_EQ(WindClassReaction(2, 1), (Settings{{1, 0}}));
  EXPECT_EQ(WindClassReaction(2, 0), (Settings{{1, 1}, {0, 1}}));
  EXPECT_EQ(WindClassReaction(3, 1), Settings{});
}

struct Transition {
  WindCombination from;
  int click;
  WindCombination to;
  int evaluations;
};

class WindClassClick : public ::testing::TestWithParam<Transition> {};

TEST_P(WindClassClick, ReachesTheCombinationWithItsEvaluationCount) {
  const Transition t = GetParam();
  int evaluations = -1;
  const Boxes after = ClickWindClass(CombinationBoxes(t.from), t.click, &evaluations);
  EXPECT_EQ(after, CombinationBoxes(t.to));
  EXPECT_EQ(evaluations, t.evaluations);
}

// From A+B: 甲種 -> C, 乙種 -> A+C, 丙種 -> A+C (3, 2, 2 runs);
// from A+C: A+C -> C, A+B, A+B (1, 2, 2); from C: A+C, A+B, A+B (1, 3, 3).
INSTANTIATE_TEST_SUITE_P(
    AllClicks, WindClassClick,
    ::testing::Values(Transition{WindCombination::AB, 0, WindCombination::C, 3},
                      Transition{WindCombination::AB, 1, WindCombination::AC, 2},
                      Transition{WindCombination::AB, 2, WindCombination::AC, 2},
                      Transition{WindCombination::AC, 0, WindCombination::C, 1},
                      Transition{WindCombination::AC, 1, WindCombination::AB, 2},
                      Transition{WindCombination::AC, 2, WindCombination::AB, 2},
                      Transition{WindCombination::C, 0, WindCombination::AC, 1},
                      Transition{WindCombination::C, 1, WindCombination::AB, 3},
                      Transition{WindCombination::C, 2, WindCombination::AB, 3}));

// From any start, even one that cannot arise, the nesting ends after a few
// runs; from the three allowed combinations it ends in an allowed one.
TEST(ClickWindClass, NestingEndsFromEveryStart) {
  for (int bits = 0; bits < 8; ++bits) {
    const Boxes start{bits & 1, (bits >> 1) & 1, (bits >> 2) & 1};
    for (int click = 0; click < 3; ++click) {
      int evaluations = 0;
      const Boxes after = ClickWindClass(start, click, &evaluations);
      EXPECT_GE(evaluations, 1);
      EXPECT_LE(evaluations, 4);
      if (CombinationOf(start).has_value()) {
        EXPECT_TRUE(CombinationOf(after).has_value())
            << "start " << bits << " click " << click << " -> " << after[0] << after[1] << after[2];
      }
    }
  }
}

TEST(ClickWindClass, RandomSequencesStayAllowed) {
  std::mt19937 random(20121221);
  std::uniform_int_distribution<int> box(0, 2);
  Boxes boxes = CombinationBoxes(WindCombination::AB);
  for (int i = 0; i < 2000; ++i) {
    const int click = box(random);
    boxes = ClickWindClass(boxes, click);
    const std::optional<WindCombination> c = CombinationOf(boxes);
    ASSERT_TRUE(c.has_value()) << "after click " << i;
    // Invariant: exactly one of B and C; B implies A.
    EXPECT_EQ(boxes[1] + boxes[2], 1);
    EXPECT_TRUE(boxes[1] == 0 || boxes[0] == 1);
  }
}

TEST(ClickWindClass, OutOfRangeIndexChangesNothing) {
  int evaluations = -1;
  EXPECT_EQ(ClickWindClass({1, 1, 0}, 3, &evaluations), (Boxes{1, 1, 0}));
  EXPECT_EQ(evaluations, 0);
  EXPECT_EQ(ClickWindClass({1, 1, 0}, -1), (Boxes{1, 1, 0}));
}

TEST(WindCombination, NamesAndBoxes) {
  EXPECT_EQ(CombinationBoxes(WindCombination::AB), (Boxes{1, 1, 0}));
  EXPECT_EQ(CombinationBoxes(WindCombination::AC), (Boxes{1, 0, 1}));
  EXPECT_EQ(CombinationBoxes(WindCombination::C), (Boxes{0, 0, 1}));
  for (WindCombination c : {WindCombination::AB, WindCombination::AC, WindCombination::C}) {
    EXPECT_EQ(ParseCombination(CombinationName(c)), c);
    EXPECT_EQ(CombinationOf(CombinationBoxes(c)), c);
  }
  EXPECT_EQ(ParseCombination("A+B"), WindCombination::AB);
  EXPECT_FALSE(ParseCombination("B").has_value());
  EXPECT_FALSE(ParseCombination("a+b").has_value());
  EXPECT_FALSE(ParseCombination("").has_value());
  EXPECT_FALSE(CombinationOf({1, 1, 1}).has_value());
  EXPECT_FALSE(CombinationOf({0, 1, 0}).has_value());
}

}  // namespace
}  // namespace sarn
