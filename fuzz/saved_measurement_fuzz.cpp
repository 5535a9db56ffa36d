// libFuzzer entry for the reader of saved measurements (NAME.sarn.json): any
// bytes are read without fault, and a file the reader accepts is written
// back to a text that reads as the same measurement, to the byte.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "session/saved_measurement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto read = sarn::ParseSavedMeasurement(text, "fuzz.sarn.json");
  if (auto* failure = std::get_if<sarn::SavedFailure>(&read)) {
    // Every refusal has words in both languages.
    if (sarn::SavedFailureText(*failure, sarn::Wording::kCommand).empty() ||
        sarn::SavedFailureText(*failure, sarn::Wording::kWindow).empty())
      std::abort();
    return 0;
  }
  auto written = sarn::SavedMeasurementText(std::get<sarn::SavedMeasurement>(read));
  if (!std::holds_alternative<std::string>(written))
    return 0;  // a text that is not UTF-8 is refused when written
  const std::string& once = std::get<std::string>(written);
  auto again = sarn::ParseSavedMeasurement(once, "again.sarn.json");
  if (!std::holds_alternative<sarn::SavedMeasurement>(again))
    std::abort();
  auto twice = sarn::SavedMeasurementText(std::get<sarn::SavedMeasurement>(again));
  if (!std::holds_alternative<std::string>(twice) || std::get<std::string>(twice) != once)
    std::abort();
  return 0;
}
