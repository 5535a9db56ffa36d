#pragma once

// The columns a UTF-8 text takes in a terminal, so that tables of conductor
// names (Japanese, two columns a character) line up.

#include <cstddef>
#include <string>
#include <string_view>

namespace sarn {

// East Asian wide and full-width characters take two columns, others one;
// the widths are the C library's (wcwidth) in a UTF-8 locale, whatever the
// program's own locale is. A character it calls unprintable takes one.
size_t DisplayWidth(std::string_view utf8);

// `text` followed (PadRight) or preceded (PadLeft) by blanks up to `width`
// columns.
void PadRight(std::string& line, std::string_view text, size_t width);
void PadLeft(std::string& line, std::string_view text, size_t width);

}  // namespace sarn
