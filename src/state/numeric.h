#pragma once

// Conversions of typed text into numbers, and the integer roundings that the
// measurement uses everywhere. Texts are UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sarn {

// Numeric parse of a text box: the value of the longest leading part of the
// text that reads as a decimal number (optional sign, digits, optional point
// and digits, optional exponent E or D), with blanks and tabs skipped anywhere
// inside it; "&H" and "&O" read a hexadecimal or octal integer. A text with no
// such leading part gives 0. "40m" -> 40, "4 5" -> 45, "" -> 0, "abc" -> 0.
double NumericParse(std::string_view text);

// Strict conversion: the whole text (surrounding blanks allowed) must be one
// number in the syntax above; anything else gives nullopt.
std::optional<double> StrictNumber(std::string_view text);

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double value);

// Rounds half to even into a 16-bit signed integer; nullopt when the value
// is not finite or the result lies outside -32768..32767.
std::optional<int16_t> RoundToInt16(double value);

// Rounds half to even into a 32-bit signed integer; nullopt when out of range.
std::optional<int32_t> RoundToInt32(double value);

// Strict integer conversion of a text box: the whole text must be a number;
// rounded half to even; must lie in -32768..32767.
std::optional<int16_t> StrictInteger16(std::string_view text);

// An integer written plainly: "-5", "4500" (no sign for positives, no padding).
std::string PlainInteger(long long value);

// The shortest text that reads back as the same 32-bit float: "0", "-362.5",
// "0.1" (not the digits of the double it widens to), "inf", "nan".
std::string ShortestText(float value);

}  // namespace sarn
