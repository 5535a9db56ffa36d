// libFuzzer entry for the rows of `sarn measure --batch`: any line splits
// into cells without fault, and cells written by CsvCell read back as
// themselves.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "output/csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> cells = sarn::SplitCsvLine(text);
  if (cells.empty())
    std::abort();  // a line always has at least one cell
  // Written back and read again, cells without surrounding blanks, carriage
  // returns or line breaks (which a row cannot hold) are the same.
  std::string line;
  std::vector<std::string> kept;
  for (const std::string& cell : cells) {
    if (cell.find_first_of("\r\n") != std::string::npos)
      continue;
    kept.push_back(cell);
    line += (line.empty() && kept.size() == 1 ? "" : ",") + sarn::CsvCell(cell);
  }
  if (!kept.empty() && sarn::SplitCsvLine(line) != kept)
    std::abort();
  return 0;
}
