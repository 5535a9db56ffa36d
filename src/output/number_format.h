#pragma once

// The number formats of the result labels. A value that is not a finite
// number gives the empty text, so "nan" or "inf" never reaches the window or
// the clipboard. No digit grouping; a negative value keeps its minus sign,
// except where it rounds to zero ("-0.000" is shown as "0.000").

#include <string>

namespace sarn {

// "##0.000", "##0.0", "0.00": at least one integer digit and exactly
// `decimals` decimals, rounded to nearest.
std::string FormatFixed(double value, int decimals);

// "##0kGf": the whole number followed by the letters kGf, e.g. "2234kGf".
std::string FormatKgf(double value);

// A whole number without decimals, e.g. the ratio "93".
std::string FormatWhole(double value);

}  // namespace sarn
