#include "state/numeric.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace sarn {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads a number from the front of `text`. Returns the value and the count of
// bytes consumed (0 when no number starts there). Blanks inside the number are
// skipped, as a typed "4 5" is meant as 45.
struct Scanned {
  double value = 0.0;
  size_t consumed = 0;
};

Scanned ScanRadixInteger(std::string_view text, size_t pos, int radix) {
  // "&H1F" / "&O17": an integer in base 16 or 8. Up to 4 hex digits read as a
  // 16-bit signed value, longer ones as 32-bit signed, so &HFFFF is -1.
  unsigned long long acc = 0;
  size_t digits = 0;
  size_t i = pos;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (IsBlank(c))
      continue;
    int d = -1;
    if (IsDigit(c))
      d = c - '0';
    if (radix == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    if (radix == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    if (d < 0 || d >= radix)
      break;
    acc = acc * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
    if (acc > 0xFFFFFFFFull)
      acc &= 0xFFFFFFFFull;
    ++digits;
  }
  if (digits == 0)
    return {0.0, i};
  double value;
  if (acc <= 0xFFFF && (radix == 16 ? digits <= 4 : acc <= 0xFFFF)) {
    value = static_cast<int16_t>(static_cast<uint16_t>(acc));
  } else {
    value = static_cast<int32_t>(static_cast<uint32_t>(acc));
  }
  return {value, i};
}

Scanned ScanNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i]))
    ++i;
  if (i + 1 < text.size() && text[i] == '&') {
    char r = text[i + 1];
    if (r == 'h' || r == 'H')
      return ScanRadixInteger(text, i + 2, 16);
    if (r == 'o' || r == 'O')
      return ScanRadixInteger(text, i + 2, 8);
  }
  std::string number;  // the accepted characters, blanks removed
  size_t end = 0;      // bytes consumed up to the last accepted character
  size_t p = i;
  auto skip_blanks = [&] {
    while (p < text.size() && IsBlank(text[p]))
      ++p;
  };
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    number += text[p];
    ++p;
    skip_blanks();
  }
  bool mantissa_digits = false;
  while (p < text.size() && (IsDigit(text[p]) || IsBlank(text[p]))) {
    if (IsDigit(text[p])) {
      number += text[p];
      mantissa_digits = true;
      end = p + 1;
    }
    ++p;
  }
  if (p < text.size() && text[p] == '.') {
    size_t q = p + 1;
    std::string frac;
    size_t frac_end = q;
    while (q < text.size() && (IsDigit(text[q]) || IsBlank(text[q]))) {
      if (IsDigit(text[q])) {
        frac += text[q];
        frac_end = q + 1;
      }
      ++q;
    }
    if (mantissa_digits || !frac.empty()) {
      number += '.';
      number += frac;
      mantissa_digits = true;
      end = frac.empty() ? p + 1 : frac_end;
      p = end;
    }
  }
  if (!mantissa_digits)
    return {0.0, 0};
  // Exponent: E or D, optional sign, at least one digit.
  if (p < text.size()) {
    char e = text[p];
    if (e == 'e' || e == 'E' || e == 'd' || e == 'D') {
      size_t q = p + 1;
      while (q < text.size() && IsBlank(text[q]))
        ++q;
      std::string exp = "e";
      if (q < text.size() && (text[q] == '+' || text[q] == '-')) {
        exp += text[q];
        ++q;
      }
      bool exp_digits = false;
      size_t exp_end = q;
      while (q < text.size() && (IsDigit(text[q]) || IsBlank(text[q]))) {
        if (IsDigit(text[q])) {
          exp += text[q];
          exp_digits = true;
          exp_end = q + 1;
        }
        ++q;
      }
      if (exp_digits) {
        number += exp;
        end = exp_end;
      }
    }
  }
  return {std::strtod(number.c_str(), nullptr), end};
}

}  // namespace

double NumericParse(std::string_view text) {
  return ScanNumber(text).value;
}

std::optional<double> StrictNumber(std::string_view text) {
  Scanned s = ScanNumber(text);
  if (s.consumed == 0)
    return std::nullopt;
  for (size_t i = s.consumed; i < text.size(); ++i) {
    if (!IsBlank(text[i]))
      return std::nullopt;
  }
  if (!std::isfinite(s.value))
    return std::nullopt;
  return s.value;
}

double RoundHalfEven(double value) {
  // nearbyint honours the current rounding mode, which is round-to-nearest-even
  // unless someone changed it; set it explicitly to be independent of that.
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double r = std::nearbyint(value);
  std::fesetround(saved);
  return r;
}

std::optional<int16_t> RoundToInt16(double value) {
  if (!std::isfinite(value))
    return std::nullopt;
  const double r = RoundHalfEven(value);
  if (r < -32768.0 || r > 32767.0)
    return std::nullopt;
  return static_cast<int16_t>(r);
}

std::optional<int32_t> RoundToInt32(double value) {
  if (!std::isfinite(value))
    return std::nullopt;
  const double r = RoundHalfEven(value);
  if (r < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      r > static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<int32_t>(r);
}

std::optional<int16_t> StrictInteger16(std::string_view text) {
  std::optional<double> v = StrictNumber(text);
  if (!v)
    return std::nullopt;
  return RoundToInt16(*v);
}

std::string PlainInteger(long long value) {
  return std::to_string(value);
}

std::string ShortestText(float value) {
  char text[32];  // the longest float text ("-1.1754944e-38") is 14 bytes
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

}  // namespace sarn
