#pragma once

// The three wind-load class boxes (甲種 A, 乙種 B, 丙種 C) and the rules
// that keep them in one of the allowed combinations A+B, A+C and C.

#include <array>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace sarn {

enum class WindCombination { AB, AC, C };

// The box values (A, B, C) of a combination.
std::array<int, 3> CombinationBoxes(WindCombination combination);

// Parses "A+B", "A+C" or "C" (as on the command line).
std::optional<WindCombination> ParseCombination(std::string_view text);

// The reaction to a box that changed to `new_value`: the (box index, value)
// settings to make, in order. Each setting that changes a box raises that
// box's own reaction at once (nested), as the window's notifications do.
std::vector<std::pair<int, int>> WindClassReaction(int index, int new_value);

// The combination the boxes hold, or nullopt when they hold none of the three.
std::optional<WindCombination> CombinationOf(const std::array<int, 3>& boxes);

// "A+B", "A+C" or "C".
std::string_view CombinationName(WindCombination combination);

}  // namespace sarn
