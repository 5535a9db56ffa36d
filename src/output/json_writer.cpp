#include "output/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace sarn {

std::string JsonEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out;
}

void JsonWriter::Separate() {
  if (need_comma_)
    out_ += ',';
  need_comma_ = true;
}

JsonWriter& JsonWriter::BeginObject() {
  Separate();
  out_ += '{';
  need_comma_ = false;
  return *this;
}
JsonWriter& JsonWriter::EndObject() {
  out_ += '}';
  need_comma_ = true;
  return *this;
}
JsonWriter& JsonWriter::BeginArray() {
  Separate();
  out_ += '[';
  need_comma_ = false;
  return *this;
}
JsonWriter& JsonWriter::EndArray() {
  out_ += ']';
  need_comma_ = true;
  return *this;
}
JsonWriter& JsonWriter::Key(std::string_view key) {
  Separate();
  out_ += '"';
  out_ += JsonEscape(key);
  out_ += "\":";
  need_comma_ = false;
  return *this;
}
JsonWriter& JsonWriter::String(std::string_view value) {
  Separate();
  out_ += '"';
  out_ += JsonEscape(value);
  out_ += '"';
  return *this;
}
JsonWriter& JsonWriter::Number(double value) {
  if (!std::isfinite(value))
    return Null();
  Separate();
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out_.append(buf, ec == std::errc() ? end : buf);
  return *this;
}
JsonWriter& JsonWriter::Number(float value) {
  if (!std::isfinite(value))
    return Null();
  Separate();
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out_.append(buf, ec == std::errc() ? end : buf);
  return *this;
}
JsonWriter& JsonWriter::Number(std::optional<float> value) {
  return value ? Number(*value) : Null();
}
JsonWriter& JsonWriter::Number(std::optional<double> value) {
  return value ? Number(*value) : Null();
}
JsonWriter& JsonWriter::Integer(long long value) {
  Separate();
  out_ += std::to_string(value);
  return *this;
}
JsonWriter& JsonWriter::Bool(bool value) {
  Separate();
  out_ += value ? "true" : "false";
  return *this;
}
JsonWriter& JsonWriter::Null() {
  Separate();
  out_ += "null";
  return *this;
}

}  // namespace sarn
