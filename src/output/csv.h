#pragma once

// Comma-separated text both ways: the rows of `sarn measure --batch` are read
// and its results written with these.

#include <string>
#include <string_view>
#include <vector>

namespace sarn {

// A cell, quoted when it holds a comma, a quote or a line break.
std::string CsvCell(std::string_view text);

// A cell always in double quotes, inner quotes doubled.
std::string CsvQuoted(std::string_view text);

// The cells of one line: quoted cells may hold commas and doubled quotes; a
// carriage return outside quotes is dropped; blanks around a cell are trimmed.
std::vector<std::string> SplitCsvLine(std::string_view line);

}  // namespace sarn
