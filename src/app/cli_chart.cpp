// `sarn chart`: the stringing chart of a span, its tension and sag over a
// range of temperatures from a present tension, and the three design
// conditions with their share of the allowable tension.

#include <ostream>

#include "app/cli_commands.h"
#include "app/cli_options.h"
#include "session/session_json.h"
#include "state/numeric.h"
#include "tension/stringing_chart_text.h"

namespace sarn {

int RunChartCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const CliContext& context) {
  CLI::App command(
      "Prints the stringing chart of the span: the tension (kgf) and sag (m) under the\n"
      "conductor's own weight for each temperature, from the present tension at the air\n"
      "temperature, by the conductor's state equation; and the tension of each design\n"
      "condition (class A wind, class B ice, class C reduced wind) with its share of the\n"
      "allowable tension.",
      "sarn chart");
  command.footer(kExitStatusHelp);
  ConductorOptions conductor;
  AddConductorOptions(command, conductor);
  std::string present_text;
  command.add_option("--present-tension", present_text, "the present tension T0 in kgf (required)")
      ->required()
      ->check(FloatText());
  TemperatureRange range;
  AddChartRangeOptions(command, range);
  bool json = false, csv = false;
  AddJsonFlag(command, json);
  command.add_flag("--csv", csv, "print CSV instead")->disable_flag_override()->excludes("--json");
  if (const std::optional<int> status = ParseCommand(command, args, out, err))
    return *status;

  WireData data;
  if (!ReadConductorData(conductor, context, "sarn chart", err, &data))
    return kExitBadInput;
  MeasurementSession session;
  session.SetInputs(data, ConductorInputs(conductor));
  const StringingChartResult chart = session.ChartAt(NumericParse(present_text), range);
  if (json) {
    out << JsonText(ChartJson(chart)) << "\n";
  } else if (chart.ok()) {
    out << (csv ? StringingChartCsv(*chart) : StringingChartTable(*chart));
  }
  if (!chart.ok()) {
    err << "sarn chart: no chart: " << chart.failure().English() << "\n";
    return kExitEvaluationFailed;
  }
  return kExitSuccess;
}

}  // namespace sarn
