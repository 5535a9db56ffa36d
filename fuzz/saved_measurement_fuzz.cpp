// libFuzzer entry for the reader of saved measurements (NAME.sarn.json): any
// bytes are read without fault, and a file the reader accepts is written
// back to a text that reads as the same measurement, to the byte.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "session/saved_measurement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const sarn::Result<sarn::SavedMeasurement> read =
      sarn::ParseSavedMeasurement(text, "fuzz.sarn.json");
  if (!read) {
    // Every refusal names the file, in both languages.
    if (read.failure().English().find("fuzz.sarn.json") == std::string::npos ||
        read.failure().Japanese().find("fuzz.sarn.json") == std::string::npos)
      std::abort();
    return 0;
  }
  const sarn::Result<std::string> once = sarn::SavedMeasurementText(*read, "fuzz.sarn.json");
  if (!once)
    return 0;  // a text that is not UTF-8 is refused when written
  const sarn::Result<sarn::SavedMeasurement> again =
      sarn::ParseSavedMeasurement(*once, "again.sarn.json");
  if (!again)
    std::abort();
  const sarn::Result<std::string> twice = sarn::SavedMeasurementText(*again, "again.sarn.json");
  if (!twice || *twice != *once)
    std::abort();
  return 0;
}
