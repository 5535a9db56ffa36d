#include "output/result_text.h"

namespace sarn {

std::string BuildResultText(const ResultTextFields& fields) {
  static constexpr const char* kLineEnd = "\r\n";
  std::string text;
  text += fields.conductor_name + kLineEnd;
  text += fields.span_text + kLineEnd;
  text += fields.distance_text + kLineEnd;
  text += fields.present_tension + kLineEnd;
  for (const std::string& estimate : fields.estimates)
    text += estimate + kLineEnd;
  return text;
}

}  // namespace sarn
