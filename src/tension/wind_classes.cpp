#include "tension/wind_classes.h"

namespace sarn {

std::array<int, 3> CombinationBoxes(WindCombination combination) {
  switch (combination) {
    case WindCombination::AB:
      return {1, 1, 0};
    case WindCombination::AC:
      return {1, 0, 1};
    case WindCombination::C:
      return {0, 0, 1};
  }
  return {1, 1, 0};
}

std::optional<WindCombination> ParseCombination(std::string_view text) {
  if (text == "A+B")
    return WindCombination::AB;
  if (text == "A+C")
    return WindCombination::AC;
  if (text == "C")
    return WindCombination::C;
  return std::nullopt;
}

std::string_view CombinationName(WindCombination combination) {
  switch (combination) {
    case WindCombination::AB:
      return "A+B";
    case WindCombination::AC:
      return "A+C";
    case WindCombination::C:
      return "C";
  }
  return "A+B";
}

std::optional<WindCombination> CombinationOf(const std::array<int, 3>& boxes) {
  for (WindCombination c : {WindCombination::AB, WindCombination::AC, WindCombination::C}) {
    if (CombinationBoxes(c) == boxes)
      return c;
  }
  return std::nullopt;
}

std::vector<std::pair<int, int>> WindClassReaction(int index, int new_value) {
  switch (index) {
    case 0:  // 甲種 cleared: only class C remains
      if (new_value == 0)
        return {{2, 1}, {1, 0}};
      return {};
    case 1:  // 乙種 ticked: B needs A and excludes C; cleared: C takes its place
      if (new_value == 1)
        return {{2, 0}, {0, 1}};
      return {{2, 1}};
    case 2:  // 丙種 ticked: excludes B; cleared: back to A+B
      if (new_value == 1)
        return {{1, 0}};
      return {{1, 1}, {0, 1}};
    default:
      return {};
  }
}

}  // namespace sarn
