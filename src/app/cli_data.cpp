// `sarn data list [FILE]` and `sarn data build SOURCE -o FILE`: look at a
// conductor data file, and write one from its readable text source.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/cli.h"
#include "state/file_access.h"
#include "state/wire_table.h"

namespace sarn {

namespace {

// A source larger than this is not a conductor table (32767 lines of a
// hundred bytes are about 3 MB); refusing it keeps a wrong argument such as a
// photo or a device from filling the memory.
constexpr size_t kLargestSourceBytes = 64 << 20;

void PrintDataUsage(std::ostream& out) {
  out << "usage: sarn data list [FILE]\n"
         "       sarn data build SOURCE -o FILE\n"
         "Run `sarn data list --help` or `sarn data build --help` for details.\n";
}

void PrintListUsage(std::ostream& out) {
  out << "usage: sarn data list [FILE]\n"
         "Prints the conductor table of a data file: index, name, Weight (kg/m),\n"
         "BreakLoad (kN), SafetyFactor, Elasticity (kN/mm2), Expansion (1e-6/degC),\n"
         "Diameter (mm), WindFactor, Area (mm2), and the two design temperatures.\n"
         "FILE defaults to SetDT.dat in the program's folder.\n";
}

void PrintBuildUsage(std::ostream& out) {
  out << "usage: sarn data build SOURCE -o FILE\n"
         "Writes the conductor data file FILE from the text table SOURCE (one conductor a\n"
         "line: name | Weight | BreakLoad | SafetyFactor | Elasticity | Expansion |\n"
         "Diameter | WindFactor | Area, and once `design temperatures | A | low season`).\n"
         "A faulty SOURCE is refused with its line number and FILE is left as it was.\n";
}

bool IsHelp(std::string_view argument) {
  return argument == "--help" || argument == "-h";
}

bool IsOption(std::string_view argument) {
  return argument.size() > 1 && argument[0] == '-';
}

// Columns a text takes in a terminal: East Asian wide and full-width
// characters take two, everything else one. (For names from code page 932 this
// equals their byte count there: double-byte characters are the wide ones.)
size_t DisplayWidth(std::string_view utf8) {
  size_t width = 0;
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    size_t length = 1;
    uint32_t code = lead;
    if (lead >= 0xF0) {
      length = 4;
      code = lead & 0x07u;
    } else if (lead >= 0xE0) {
      length = 3;
      code = lead & 0x0Fu;
    } else if (lead >= 0xC0) {
      length = 2;
      code = lead & 0x1Fu;
    }
    for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
      code = (code << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3Fu);
    const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                      (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                      (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                      (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x20000 && code <= 0x3FFFD);
    width += wide ? 2 : 1;
    i += length;
  }
  return width;
}

// The shortest text that reads back as the same 32-bit float.
std::string FloatText(float value) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc{} ? std::string(buffer, end) : std::string("?");
}

void PadRight(std::string& line, std::string_view text, size_t width) {
  line += text;
  const size_t used = DisplayWidth(text);
  if (used < width)
    line.append(width - used, ' ');
}

void PadLeft(std::string& line, std::string_view text, size_t width) {
  const size_t used = DisplayWidth(text);
  if (used < width)
    line.append(width - used, ' ');
  line += text;
}

void PrintTable(const WireData& data, const std::string& path, std::ostream& out) {
  static constexpr const char* kHeads[] = {"Weight",    "BreakLoad", "SafetyFactor", "Elasticity",
                                           "Expansion", "Diameter",  "WindFactor",   "Area"};
  static constexpr const char* kUnits[] = {"kg/m",      "kN", "-", "kN/mm2",
                                           "1e-6/degC", "mm", "-", "mm2"};
  constexpr size_t kColumns = 8;

  std::vector<std::string> names;
  std::vector<std::vector<std::string>> cells;
  for (const WireRecord& record : data.WireTable) {
    names.push_back(TrimmedWireName(record.Name));
    cells.push_back({FloatText(record.Weight), FloatText(record.BreakLoad),
                     FloatText(record.SafetyFactor), FloatText(record.Elasticity),
                     FloatText(record.Expansion), FloatText(record.Diameter),
                     FloatText(record.WindFactor), FloatText(record.Area)});
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
    out << line << "\n";
  }
}

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const CliContext& context) {
  std::string path;
  for (const std::string& argument : args) {
    if (IsHelp(argument)) {
      PrintListUsage(out);
      return 0;
    }
    if (IsOption(argument) || !path.empty()) {
      err << "sarn data list: unexpected argument '" << argument << "'\n";
      PrintListUsage(err);
      return 2;
    }
    path = argument;
  }
  if (path.empty())
    path = context.program_folder + "/SetDT.dat";
  const WireDataResult result = ReadWireData(path);
  if (!result.data) {
    err << "sarn data list: " << result.error << "\n";
    return 1;
  }
  PrintTable(*result.data, path, out);
  return 0;
}

// Reads a whole text file; false with a reason when it cannot.
bool ReadSource(const std::string& path, std::string* text, std::string* why) {
  auto read = ReadWholeFile(path, kLargestSourceBytes);
  if (const auto* error = std::get_if<FileError>(&read)) {
    *why = error->problem == FileProblem::kTooLarge
               ? "the file is larger than 64 MB, too large for a conductor table"
               : error->what;
    return false;
  }
  const auto& bytes = std::get<std::vector<uint8_t>>(read);
  text->assign(bytes.begin(), bytes.end());
  return true;
}

bool WriteAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string* why) {
  if (const std::optional<FileError> failure = ReplaceFileAtomically(path, bytes, true)) {
    *why = failure->what;
    return false;
  }
  return true;
}

int RunBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string source;
  std::string target;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& argument = args[i];
    if (IsHelp(argument)) {
      PrintBuildUsage(out);
      return 0;
    }
    if (argument == "-o" || argument == "--output") {
      if (i + 1 >= args.size() || !target.empty()) {
        err << "sarn data build: " << argument
            << (target.empty() ? " needs a file name\n" : " given twice\n");
        PrintBuildUsage(err);
        return 2;
      }
      target = args[++i];
      continue;
    }
    if (IsOption(argument) || !source.empty()) {
      err << "sarn data build: unexpected argument '" << argument << "'\n";
      PrintBuildUsage(err);
      return 2;
    }
    source = argument;
  }
  if (source.empty() || target.empty()) {
    err << "sarn data build: " << (source.empty() ? "no SOURCE given" : "no -o FILE given") << "\n";
    PrintBuildUsage(err);
    return 2;
  }

  std::string text;
  std::string why;
  if (!ReadSource(source, &text, &why)) {
    err << "sarn data build: " << source << ": " << why << "\n";
    return 2;
  }
  const WireDataResult result = ParseWireSource(text);
  if (!result.data) {
    err << "sarn data build: " << source << ": " << result.error << "\n";
    return 2;
  }
  if (!WriteAtomically(target, SerializeWireData(*result.data), &why)) {
    err << "sarn data build: " << target << ": " << why << "\n";
    return 1;
  }
  out << "wrote " << target << ": " << result.data->WireTable.size() << " conductors\n";
  return 0;
}

}  // namespace

int RunDataCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const CliContext& context) {
  if (args.empty()) {
    PrintDataUsage(err);
    return 2;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (IsHelp(args[0]) || args[0] == "help") {
    PrintDataUsage(out);
    return 0;
  }
  if (args[0] == "list")
    return RunList(rest, out, err, context);
  if (args[0] == "build")
    return RunBuild(rest, out, err);
  err << "sarn data: unknown command '" << args[0] << "'\n";
  PrintDataUsage(err);
  return 2;
}

}  // namespace sarn
