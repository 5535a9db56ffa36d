#include "output/wire_table_text.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "output/display_width.h"
#include "state/numeric.h"

namespace sarn {
void PrintWireTable(const WireData& data, const std::string& path, std::ostream& out) {
  static constexpr const char* kHeads[] = {"Weight",    "BreakLoad", "SafetyFactor", "Elasticity",
                                           "Expansion", "Diameter",  "WindFactor",   "Area"};
  static constexpr const char* kUnits[] = {"kg/m",      "kN", "-", "kN/mm2",
                                           "1e-6/degC", "mm", "-", "mm2"};
  constexpr size_t kColumns = 8;

  std::vector<std::string> names;
  std::vector<std::vector<std::string>> cells;
  for (const WireRecord& record : data.WireTable) {
    names.push_back(TrimmedWireName(record.Name));
    cells.push_back({ShortestText(record.Weight), ShortestText(record.BreakLoad),
                     ShortestText(record.SafetyFactor), ShortestText(record.Elasticity),
                     ShortestText(record.Expansion), ShortestText(record.Diameter),
                     ShortestText(record.WindFactor), ShortestText(record.Area)});
  }
  const size_t index_width = std::max<size_t>(5, std::to_string(data.WireTable.size() - 1).size());
  size_t name_width = 4;
  for (const std::string& name : names)
    name_width = std::max(name_width, DisplayWidth(name));
  size_t widths[kColumns];
  for (size_t c = 0; c < kColumns; ++c) {
    widths[c] = std::max(std::strlen(kHeads[c]), std::strlen(kUnits[c]));
    for (const auto& row : cells)
      widths[c] = std::max(widths[c], row[c].size());
  }

  out << path << ": " << data.WireTable.size()
      << (data.WireTable.size() == 1 ? " conductor" : " conductors") << "\n";
  out << "Design temperatures: class A " << data.DesignTemp[0] << " degC, low-temperature season "
      << data.DesignTemp[1] << " degC\n";
  std::string head;
  std::string units;
  PadLeft(head, "Index", index_width);
  PadLeft(units, "", index_width);
  head += "  ";
  units += "  ";
  PadRight(head, "Name", name_width);
  PadRight(units, "", name_width);
  for (size_t c = 0; c < kColumns; ++c) {
    head += "  ";
    units += "  ";
    PadLeft(head, kHeads[c], widths[c]);
    PadLeft(units, kUnits[c], widths[c]);
  }
  out << head << "\n" << units << "\n";
  for (size_t i = 0; i < names.size(); ++i) {
    std::string line;
    PadLeft(line, std::to_string(i), index_width);
    line += "  ";
    PadRight(line, names[i], name_width);
    for (size_t c = 0; c < kColumns; ++c) {
      line += "  ";
      PadLeft(line, cells[i][c], widths[c]);
    }
    // A record the evaluation cannot use is printed as it is, and marked.
    if (const std::optional<Failure> problem = WireRecordProblem(data.WireTable[i]))
      line += "  unusable: " + problem->English();
    out << line << "\n";
  }
}

}  // namespace sarn
