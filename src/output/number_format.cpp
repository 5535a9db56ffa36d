#include "output/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace sarn {

std::string FormatFixed(double value, int decimals) {
  if (!std::isfinite(value))
    return {};
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  // A value that rounds to zero is shown without its sign.
  if (buffer[0] == '-') {
    bool all_zero = true;
    for (const char* p = buffer + 1; *p; ++p) {
      if (*p != '0' && *p != '.')
        all_zero = false;
    }
    if (all_zero)
      std::memmove(buffer, buffer + 1, std::strlen(buffer));
  }
  return buffer;
}

std::string FormatKgf(double value) {
  std::string whole = FormatFixed(value, 0);
  if (whole.empty())
    return {};
  return whole + "kGf";
}

std::string FormatWhole(double value) {
  return FormatFixed(value, 0);
}

}  // namespace sarn
