#include "e2e/measure_fixture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

namespace sarn::test {

std::string LineArgument(const SpanScene& scene, bool right_to_left, double inset) {
  double x1 = scene.left_x + inset, x2 = scene.right_x - inset;
  double y1 = std::floor(ConductorTopRow(scene, x1)) - 20;
  double y2 = std::floor(ConductorTopRow(scene, x2)) - 20;
  if (right_to_left) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  char text[160];
  std::snprintf(text, sizeof text, "%.3f,%.3f,%.3f,%.3f", x1, y1, x2, y2);
  return text;
}

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
