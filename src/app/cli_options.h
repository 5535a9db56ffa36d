#pragma once

// The options that several commands share, each read by one rule everywhere,
// and the session they set up. Texts are read as the window reads its boxes
// (`--span 40m` is 40); a value a 32-bit float cannot hold is refused.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/cli.h"
#include "session/measurement_session.h"
#include "state/wire_table.h"
#include "tension/stringing_chart.h"
#include "tension/wind_classes.h"

namespace sarn {

// The conductor and the conditions of the span.
struct ConductorOptions {
  std::string data_path;  // default: SetDT.dat in the program's folder
  int16_t wire = 0;
  std::string span_text = "40";
  std::string air_temp_text = "20";
  std::optional<std::array<int16_t, 2>> design_temps;
  WindCombination classes = WindCombination::AB;
};

void AddConductorOptions(CLI::App& command, ConductorOptions& options);
void AddJsonFlag(CLI::App& command, bool& json);
// --from T --to T --step T: the temperatures of a stringing chart, degC.
// With `saved_from` (sarn measure), --from also names a saved measurement:
// a number is the chart's first temperature, any other text the file, and
// each may be given once.
void AddChartRangeOptions(CLI::App& command, TemperatureRange& range,
                          std::string* saved_from = nullptr);

// The conductor data file: `given`, or SetDT.dat in the program's folder.
std::string DataFilePath(const std::string& given, const CliContext& context);

// Reads the data file of `options`; false after a message on `err`.
bool ReadConductorData(const ConductorOptions& options, const CliContext& context,
                       const std::string& command, std::ostream& err, WireData* data);

// The session inputs the options give: conductor, span, air temperature,
// design temperatures and classes; the others as the window starts.
SessionInputs ConductorInputs(const ConductorOptions& options);

// A check of an option's text: `valid` decides, and a text it refuses is
// told "<rule>, not '<text>'". `shape` names the value in the help.
CLI::Validator TextRule(std::string shape, std::function<bool(const std::string&)> valid,
                        std::string rule);

// Checks of option values, each with the message of its one rule.
const CLI::Validator& FloatText();      // NumericParse within the 32-bit float range
const CLI::Validator& WholeNumber16();  // a whole number within -32768..32767
const CLI::Validator& NumberText();     // the whole text one number

// "a,b,c": exactly `count` numbers, each a whole number text.
std::optional<std::vector<double>> ParseNumberList(std::string_view text, size_t count);

// "A,L": two design temperatures, each read as the window reads Text6 (numeric
// parse rounded half to even), within -32768..32767.
std::optional<std::array<int16_t, 2>> ParseDesignTemps(std::string_view text);

// Parses `args` into `command`; on --help prints the help and returns 0, on a
// bad argument prints the message and returns 2; nullopt to go on.
std::optional<int> ParseCommand(CLI::App& command, const std::vector<std::string>& args,
                                std::ostream& out, std::ostream& err);

}  // namespace sarn
