#pragma once

// Reading the options of the headless subcommands: "--name VALUE" or
// "--name=VALUE", and the small lists some options take.

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sarn {

class OptionReader {
 public:
  OptionReader(const std::vector<std::string>& args, std::string command, std::ostream& err);

  bool More() const { return next_ < args_.size(); }
  // The next argument; for "--name=VALUE" the name, with VALUE kept for Value().
  std::string Next();
  // The value of `option`: the part after "=" or the next argument. False
  // (with a message) when there is none.
  bool Value(const std::string& option, std::string* value);
  bool failed() const { return failed_; }

 private:
  const std::vector<std::string>& args_;
  std::string command_;
  std::ostream& err_;
  size_t next_ = 0;
  std::optional<std::string> inline_value_;
  bool failed_ = false;
};

// "a,b,c": exactly `count` numbers, each a whole number text (StrictNumber).
std::optional<std::vector<double>> ParseNumberList(std::string_view text, size_t count);

// "A,L": two design temperatures, each read as the window reads Text6 (numeric
// parse rounded half to even), within -32768..32767.
std::optional<std::array<int16_t, 2>> ParseDesignTemps(std::string_view text);

}  // namespace sarn
