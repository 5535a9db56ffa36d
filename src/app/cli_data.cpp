// `sarn data list [FILE]` and `sarn data build SOURCE -o FILE`: look at a
// conductor data file, and write one from its readable text source.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "app/cli_options.h"
#include "output/wire_table_text.h"
#include "state/file_access.h"
#include "state/wire_source.h"
#include "state/wire_table.h"

namespace sarn {

namespace {

// A source larger than this is not a conductor table (32767 lines of a
// hundred bytes are about 3 MB); refusing it keeps a wrong argument such as a
// photo from filling the memory.
constexpr size_t kLargestSourceBytes = 64 << 20;

// Reads a whole text file; false with a reason when it cannot.
bool ReadSource(const std::string& path, std::string* text, std::string* why) {
  auto read = ReadWholeFile(path, kLargestSourceBytes);
  if (!read) {
    *why = IsTooLarge(read.failure())
               ? path + ": the file is larger than 64 MB, too large for a conductor table"
               : read.failure().English();
    return false;
  }
  text->assign(read->begin(), read->end());
  return true;
}

bool WriteAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string* why) {
  if (Result<void> written = ReplaceFileAtomically(path, bytes, true); !written) {
    *why = written.failure().English();
    return false;
  }
  return true;
}

int RunList(const std::string& given, std::ostream& out, std::ostream& err,
            const CliContext& context) {
  const std::string path = DataFilePath(given, context);
  const WireDataResult result = ReadWireData(path);
  if (!result.ok()) {
    err << "sarn data list: " << result.failure().English() << "\n";
    return kExitBadInput;
  }
  PrintWireTable(*result, path, out);
  return kExitSuccess;
}

int RunBuild(const std::string& source, const std::string& target, std::ostream& out,
             std::ostream& err) {
  std::string text;
  std::string why;
  if (!ReadSource(source, &text, &why)) {
    err << "sarn data build: " << why << "\n";
    return kExitBadInput;
  }
  const WireDataResult result = ParseWireSource(text);
  if (!result.ok()) {
    err << "sarn data build: " << source << ": " << result.failure().English() << "\n";
    return kExitBadInput;
  }
  if (!WriteAtomically(target, SerializeWireData(*result), &why)) {
    err << "sarn data build: " << why << "\n";
    return kExitBadInput;
  }
  out << "wrote " << target << ": " << result->WireTable.size() << " conductors\n";
  return kExitSuccess;
}

}  // namespace

int RunDataCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const CliContext& context) {
  CLI::App command("Looks at a conductor data file, or writes one from its text table.",
                   "sarn data");
  command.footer(kExitStatusHelp);
  command.require_subcommand(1);
  std::string list_path;
  CLI::App* list = command.add_subcommand(
      "list",
      "Prints the conductor table of a data file: index, name, Weight (kg/m), BreakLoad (kN),\n"
      "SafetyFactor, Elasticity (kN/mm2), Expansion (1e-6/degC), Diameter (mm), WindFactor,\n"
      "Area (mm2), and the two design temperatures.");
  list->add_option("FILE", list_path, "the data file (default: SetDT.dat beside the program)");
  std::string source, target;
  CLI::App* build = command.add_subcommand(
      "build",
      "Writes the conductor data file FILE from the text table SOURCE (one conductor a line:\n"
      "name | Weight | BreakLoad | SafetyFactor | Elasticity | Expansion | Diameter |\n"
      "WindFactor | Area, and once `design temperatures | A | low season`). A faulty SOURCE\n"
      "is refused with its line number and FILE is left as it was.");
  build->add_option("SOURCE", source, "the text table")->required();
  build->add_option("-o,--output", target, "the data file to write")->required();
  if (const std::optional<int> status = ParseCommand(command, args, out, err))
    return *status;
  if (list->parsed())
    return RunList(list_path, out, err, context);
  return RunBuild(source, target, out, err);
}

}  // namespace sarn
