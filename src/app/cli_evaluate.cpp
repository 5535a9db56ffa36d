// `sarn evaluate`: the tension evaluation of the window without a window.
// Inputs are read the way the window reads its controls (the span, air
// temperature and design temperature boxes, the conductor list, the class and
// estimate boxes), and the evaluation is the session's, so both give the same
// results.

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>
#include <ostream>

#include "app/cli_commands.h"
#include "app/cli_options.h"
#include "session/session_json.h"

namespace sarn {
namespace {

constexpr const char* kCommand = "sarn evaluate";

struct EvaluateOptions {
  ConductorOptions conductor;
  std::array<float, 3> estimates{};
  std::array<int, 3> ticks{};
  bool json = false;
};

void AddEvaluateOptions(CLI::App& command, EvaluateOptions& options) {
  AddConductorOptions(command, options.conductor);
  command
      .add_option_function<std::string>(
          "--estimates",
          [&options](const std::string& text) {
            const std::vector<double> numbers = *ParseNumberList(text, 3);
            for (size_t i = 0; i < 3; ++i)
              options.estimates[i] = static_cast<float>(numbers[i]);
          },
          "tension estimates of the chords 4/4, 3/4, 2/4 in kgf (default 0)")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            const std::optional<std::vector<double>> numbers = ParseNumberList(text, 3);
            if (!numbers)
              return "takes three numbers T0,T1,T2, not '" + text + "'";
            for (double v : *numbers) {
              if (std::fabs(v) > double{FLT_MAX})
                return "'" + text + "' lies outside the range of a 32-bit float";
            }
            return {};
          },
          "T0,T1,T2"));
  command
      .add_option_function<std::string>(
          "--ticks",
          [&options](const std::string& text) {
            const std::vector<double> numbers = *ParseNumberList(text, 3);
            for (size_t i = 0; i < 3; ++i)
              options.ticks[i] = numbers[i] == 1.0 ? 1 : 0;
          },
          "1 for each estimate used in the present tension (default none)")
      ->check(TextRule(
          "B0,B1,B2",
          [](const std::string& text) {
            const std::optional<std::vector<double>> numbers = ParseNumberList(text, 3);
            return numbers && std::all_of(numbers->begin(), numbers->end(),
                                          [](double v) { return v == 0.0 || v == 1.0; });
          },
          "takes three values B0,B1,B2, each 0 or 1"));
  AddJsonFlag(command, options.json);
}

// A label as the window shows it, with its unit; a label the run did not
// reach is cleared in the window and printed as "(cleared)".
std::string LabelText(const ShownText& text, const std::string& unit) {
  if (!text)
    return "(cleared)";
  return *text + unit;
}

void PrintPlain(std::ostream& out, const std::string& wire_name, const ShownResults& shown,
                const TensionOutcome& outcome) {
  const std::string name = TrimmedWireName(wire_name);
  out << "conductor (電線サイズ):                 " << (name.empty() ? "(none)" : name) << "\n";
  out << "present tension (現在張力):             " << LabelCaption(shown.present_tension)
      << " kgf\n";
  // Label8(0) and Label8(1) side by side; an empty Label8(0) takes no room.
  std::string allow = LabelText(shown.allow_a, "");
  allow += (allow.empty() ? "" : "  ") + LabelText(shown.allow_bc, "");
  out << "span allowable tension (径間許容張力):  " << allow << "\n";
  out << "allowable tension ratio (許容張力比):   " << LabelText(shown.ratio, " %") << " on "
      << (shown.ratio_red ? "red" : "yellow") << "\n";
  out << "specified sag (規定弛度):               " << LabelText(shown.specified_sag, " m") << "\n";
  if (!outcome.ok())
    out << "error: " << outcome.failure->English() << "\n";
}

}  // namespace

int RunEvaluateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       const CliContext& context) {
  CLI::App command(
      "Evaluates the span allowable tensions, the allowable-tension ratio and the\n"
      "specified sag as the window does.",
      kCommand);
  command.footer(kExitStatusHelp);
  EvaluateOptions options;
  AddEvaluateOptions(command, options);
  if (const std::optional<int> status = ParseCommand(command, args, out, err))
    return *status;

  WireData data;
  if (!ReadConductorData(options.conductor, context, kCommand, err, &data))
    return kExitBadInput;
  MeasurementSession session;
  session.SetInputs(data, ConductorInputs(options.conductor));
  session.SetEstimates(options.estimates, options.ticks);

  const TensionOutcome& outcome = session.Tension();
  const WireRecord* record = session.State().SelectedWire();
  const std::string wire_name = record != nullptr ? record->Name : std::string();
  if (options.json) {
    Json json = Json::object();
    AddTensionJson(session, json);
    out << JsonText(json) << "\n";
  } else {
    PrintPlain(out, wire_name, session.Shown(), outcome);
  }
  if (!outcome.ok()) {
    err << kCommand << ": the evaluation failed: " << outcome.failure->English() << "\n";
    return kExitEvaluationFailed;
  }
  return kExitSuccess;
}

}  // namespace sarn
