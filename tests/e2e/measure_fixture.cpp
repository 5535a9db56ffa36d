#include "e2e/measure_fixture.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace sarn::test {

double JsonNumber(const std::string& json, const std::string& key, int index) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::string needle = "\"" + key + "\":";
  size_t pos = json.find(needle);
  if (pos == std::string::npos)
    return nan;
  pos += needle.size();
  if (json[pos] == '[') {
    ++pos;
    for (int i = 0; i < index; ++i) {
      pos = json.find(',', pos);
      if (pos == std::string::npos)
        return nan;
      ++pos;
    }
  }
  if (json.compare(pos, 4, "null") == 0)
    return nan;
  char* end = nullptr;
  const double v = std::strtod(json.c_str() + pos, &end);
  return end == json.c_str() + pos ? nan : v;
}

}  // namespace sarn::test
