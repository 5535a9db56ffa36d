#pragma once

// A small JSON writer for the command line's --json output. Values are added
// in order; objects and arrays nest. Non-finite numbers are written as null.

#include <optional>
#include <string>
#include <string_view>

namespace sarn {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view value);
  JsonWriter& Number(double value);  // shortest text that reads back exactly
  JsonWriter& Number(float value);   // shortest text of the 32-bit value
  JsonWriter& Number(std::optional<double> value);
  JsonWriter& Number(std::optional<float> value);
  JsonWriter& Integer(long long value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  const std::string& str() const { return out_; }

 private:
  void Separate();
  std::string out_;
  bool need_comma_ = false;
};

std::string JsonEscape(std::string_view text);

}  // namespace sarn
