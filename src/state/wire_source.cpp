// The readable text source of a conductor table (data/conductors.txt):
//
//   # comment                      (a line whose first non-blank is "#")
//   design temperatures | 15 | -5  (once: class A, low-temperature season, deg C)
//   name | Weight | BreakLoad | SafetyFactor | Elasticity | Expansion | Diameter
//        | WindFactor | Area       (one conductor a line, file order)
//
// Fields are separated by "|" and trimmed of blanks. Every fault is reported
// as "line N: reason" with N counted from 1, so the table can be mended in an
// editor; nothing is built from a source with a fault in it.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "state/cp932.h"
#include "state/wire_source.h"

namespace sarn {

namespace {

constexpr std::string_view kDesignKeyword = "design temperatures";

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    const size_t bar = line.find('|', start);
    fields.push_back(Trim(line.substr(start, bar == std::string_view::npos ? bar : bar - start)));
    if (bar == std::string_view::npos)
      return fields;
    start = bar + 1;
  }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

// Removes one leading "+" so that "+5" reads like "5"; from_chars takes only "-".
std::string_view WithoutPlus(std::string_view text) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+')
    text.remove_prefix(1);
  return text;
}

using enum MessageId;

// A decimal number filling the whole field, as the nearest 32-bit float;
// `name` names the field in the failure.
Result<float> ParseFloatField(std::string_view field, const Failure::Argument& name) {
  const std::string_view text = WithoutPlus(field);
  float value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || error == std::errc::invalid_argument || end != text.data() + text.size() ||
      (error == std::errc{} && !std::isfinite(value)))
    return Failure(kSourceNotNumber, {name, std::string(field)});
  if (error == std::errc::result_out_of_range)
    return Failure(kSourceOutOfFloatRange, {name, std::string(field)});
  return value;
}

// A whole number of degrees in -32768..32767.
Result<int16_t> ParseTemperatureField(std::string_view field, const Failure::Argument& name) {
  const std::string_view text = WithoutPlus(field);
  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || error == std::errc::invalid_argument || end != text.data() + text.size() ||
      (error == std::errc{} && std::isnan(value)))
    return Failure(kSourceNotNumber, {name, std::string(field)});
  if (error == std::errc::result_out_of_range || value < -32768 || value > 32767)
    return Failure(kSourceOutsideInt16, {name, std::string(field)});
  if (value != std::trunc(value))
    return Failure(kSourceNotWholeDegrees, {name, std::string(field)});
  return static_cast<int16_t>(value);
}

Failure Refuse(size_t line_number, Failure reason) {
  return Failure(kSourceLine, {std::to_string(line_number), std::move(reason)});
}

}  // namespace

WireDataResult ParseWireSource(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF")
    text.remove_prefix(3);  // a byte-order mark written by some editors

  WireData data;
  size_t design_line = 0;  // where the design temperatures were given, 0 for not yet
  size_t line_number = 0;
  size_t start = 0;
  while (start < text.size()) {
    const size_t newline = text.find('\n', start);
    const size_t stop = newline == std::string_view::npos ? text.size() : newline;
    const std::string_view line = Trim(text.substr(start, stop - start));
    start = stop + 1;
    ++line_number;
    if (line.empty() || line.front() == '#')
      continue;
    const std::vector<std::string_view> fields = SplitFields(line);

    if (EqualsIgnoringCase(fields[0], kDesignKeyword)) {
      if (design_line != 0)
        return Refuse(line_number, Failure(kSourceDesignTwice, {std::to_string(design_line)}));
      if (fields.size() != 3)
        return Refuse(line_number, Failure(kSourceDesignFields, {std::to_string(fields.size())}));
      for (int k = 0; k < 2; ++k) {
        const Result<int16_t> temperature = ParseTemperatureField(
            fields[1 + k], Failure(k == 0 ? kTermClassATemperature : kTermLowSeasonTemperature));
        if (!temperature)
          return Refuse(line_number, temperature.failure());
        data.DesignTemp[k] = *temperature;
      }
      design_line = line_number;
      continue;
    }

    if (fields.size() != 1 + kWireFields.size())
      return Refuse(line_number, Failure(kSourceConductorFields, {std::to_string(fields.size())}));
    if (data.WireTable.size() == static_cast<size_t>(kMostWireRecords))
      return Refuse(line_number,
                    Failure(kSourceTooManyConductors, {std::to_string(kMostWireRecords)}));
    if (fields[0].empty())
      return Refuse(line_number, Failure(kSourceNameEmpty));
    const auto raw = EncodeWireName(fields[0]);
    if (!raw)
      return Refuse(line_number, raw.failure());
    WireRecord record;
    record.RawName = *raw;
    record.Name = DecodeWireName(record.RawName);
    for (size_t k = 0; k < kWireFields.size(); ++k) {
      const Result<float> value = ParseFloatField(fields[1 + k], kWireFields[k].name);
      if (!value)
        return Refuse(line_number, value.failure());
      record.*kWireFields[k].member = *value;
    }
    // The same rule the tension evaluation applies, so that nothing is built
    // that it would refuse.
    if (std::optional<Failure> problem = WireRecordProblem(record))
      return Refuse(line_number, *problem);
    data.WireTable.push_back(std::move(record));
  }

  const size_t last_line = std::max<size_t>(line_number, 1);
  if (design_line == 0)
    return Refuse(last_line, Failure(kSourceNoDesignLine));
  if (data.WireTable.empty())
    return Refuse(last_line, Failure(kSourceNoConductor));
  data.WireLast = static_cast<int16_t>(data.WireTable.size() - 1);
  return data;
}

}  // namespace sarn
