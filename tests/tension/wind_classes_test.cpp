#include "tension/wind_classes.h"

#include <gtest/gtest.h>

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
