#include "app/cli_options.h"

#include <ostream>

#include "state/numeric.h"

namespace sarn {

OptionReader::OptionReader(const std::vector<std::string>& args, std::string command,
                           std::ostream& err)
    : args_(args), command_(std::move(command)), err_(err) {}

std::string OptionReader::Next() {
  inline_value_.reset();
  std::string arg = args_[next_++];
  if (arg.rfind("--", 0) == 0) {
    const size_t eq = arg.find('=');
    if (eq != std::string::npos) {
      inline_value_ = arg.substr(eq + 1);
      arg.resize(eq);
    }
  }
  return arg;
}

bool OptionReader::Value(const std::string& option, std::string* value) {
  if (inline_value_) {
    *value = *inline_value_;
    inline_value_.reset();
    return true;
  }
  if (next_ >= args_.size()) {
    err_ << command_ << ": " << option << " needs a value\n";
    failed_ = true;
    return false;
  }
  *value = args_[next_++];
  return true;
}

namespace {

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    parts.push_back(
        text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
    if (comma == std::string_view::npos)
      break;
    start = comma + 1;
  }
  return parts;
}

}  // namespace

std::optional<std::vector<double>> ParseNumberList(std::string_view text, size_t count) {
  std::vector<std::string_view> parts = SplitCommas(text);
  if (parts.size() != count)
    return std::nullopt;
  std::vector<double> numbers;
  for (std::string_view part : parts) {
    std::optional<double> v = StrictNumber(part);
    if (!v)
      return std::nullopt;
    numbers.push_back(*v);
  }
  return numbers;
}

std::optional<std::array<int16_t, 2>> ParseDesignTemps(std::string_view text) {
  std::vector<std::string_view> parts = SplitCommas(text);
  if (parts.size() != 2)
    return std::nullopt;
  std::array<int16_t, 2> temps{};
  for (size_t i = 0; i < 2; ++i) {
    std::optional<int16_t> t = RoundToInt16(NumericParse(parts[i]));
    if (!t)
      return std::nullopt;
    temps[i] = *t;
  }
  return temps;
}

}  // namespace sarn
