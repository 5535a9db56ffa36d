// `sarn evaluate`: the tension evaluation of the window without a window.
// Inputs are read the way the window reads its controls (Text2, Text3,
// Text6, Combo1, Check1, Check3), so both give the same results.

#include <cfloat>
#include <cmath>
#include <optional>
#include <ostream>

#include "app/cli.h"
#include "app/cli_options.h"
#include "app/cli_tension_json.h"
#include "output/json_writer.h"
#include "state/measurement_state.h"
#include "state/numeric.h"
#include "state/wire_table.h"
#include "tension/tension_evaluation.h"
#include "tension/wind_classes.h"

namespace sarn {
namespace {

constexpr const char* kCommand = "sarn evaluate";

void PrintEvaluateUsage(std::ostream& out) {
  out << "usage: sarn evaluate [--data FILE] [--wire N] [--span TEXT] [--air-temp TEXT]\n"
         "                     [--design-temps A,L] [--classes A+B|A+C|C]\n"
         "                     [--estimates T0,T1,T2] [--ticks B0,B1,B2] [--json]\n"
         "Evaluates the span allowable tensions, the allowable-tension ratio and the\n"
         "specified sag as the window does.\n"
         "  --data FILE          conductor data file (default: SetDT.dat beside the program)\n"
         "  --wire N             conductor index in the file (default 0)\n"
         "  --span TEXT          span length in m, read as the span box reads it (default 40)\n"
         "  --air-temp TEXT      air temperature at the photograph in degC (default 20)\n"
         "  --design-temps A,L   class-A and low-temperature-season temperatures in degC\n"
         "                       (default: those of the data file)\n"
         "  --classes C          wind-load classes A+B (default), A+C or C\n"
         "  --estimates T0,T1,T2 tension estimates of the chords 4/4, 3/4, 2/4 in kgf (default 0)\n"
         "  --ticks B0,B1,B2     1 for each estimate used in the present tension (default none)\n"
         "  --json               print one JSON object\n"
         "Exit status: 0 evaluated, 1 the evaluation failed, 2 bad arguments or data file.\n";
}

struct EvaluateOptions {
  std::optional<std::string> data_path;
  int16_t wire = 0;
  std::string span_text = "40";
  std::string air_temp_text = "20";
  std::optional<std::array<int16_t, 2>> design_temps;
  WindCombination classes = WindCombination::AB;
  std::array<float, 3> estimates{};
  std::array<int, 3> ticks{};
  bool json = false;
  bool help = false;
};

// A parsed text stored as the window stores it, into a 32-bit float; a
// value beyond the float range is refused rather than carried as infinity.
std::optional<float> TextToFloat(const std::string& text) {
  const double value = NumericParse(text);
  if (!std::isfinite(value) || std::fabs(value) > static_cast<double>(FLT_MAX))
    return std::nullopt;
  return static_cast<float>(value);
}

// Reads the options; false (with a message on err) for bad arguments.
bool ReadOptions(const std::vector<std::string>& args, std::ostream& err,
                 EvaluateOptions* options) {
  OptionReader reader(args, kCommand, err);
  auto bad = [&err](const std::string& message) {
    err << kCommand << ": " << message << "\n";
    return false;
  };
  while (reader.More()) {
    const std::string option = reader.Next();
    std::string value;
    if (option == "--help" || option == "-h") {
      options->help = true;
      return true;
    }
    if (option == "--json") {
      options->json = true;
      continue;
    }
    if (option == "--data" || option == "--wire" || option == "--span" || option == "--air-temp" ||
        option == "--design-temps" || option == "--classes" || option == "--estimates" ||
        option == "--ticks") {
      if (!reader.Value(option, &value))
        return false;
    } else {
      return bad("unknown argument '" + option + "' (see sarn evaluate --help)");
    }

    if (option == "--data") {
      if (value.empty())
        return bad("--data needs a file name");
      options->data_path = value;
    } else if (option == "--wire") {
      const std::optional<int16_t> wire = StrictInteger16(value);
      if (!wire)
        return bad("--wire needs a whole number in -32768..32767, not '" + value + "'");
      options->wire = *wire;
    } else if (option == "--span") {
      if (!TextToFloat(value))
        return bad("--span '" + value + "' lies outside the range of a 32-bit float");
      options->span_text = value;
    } else if (option == "--air-temp") {
      if (!TextToFloat(value))
        return bad("--air-temp '" + value + "' lies outside the range of a 32-bit float");
      options->air_temp_text = value;
    } else if (option == "--design-temps") {
      options->design_temps = ParseDesignTemps(value);
      if (!options->design_temps)
        return bad("--design-temps needs two temperatures A,L, each within -32768..32767, not '" +
                   value + "'");
    } else if (option == "--classes") {
      const std::optional<WindCombination> classes = ParseCombination(value);
      if (!classes)
        return bad("--classes must be A+B, A+C or C, not '" + value + "'");
      options->classes = *classes;
    } else if (option == "--estimates") {
      const std::optional<std::vector<double>> numbers = ParseNumberList(value, 3);
      if (!numbers)
        return bad("--estimates needs three numbers T0,T1,T2, not '" + value + "'");
      for (size_t i = 0; i < 3; ++i) {
        const double v = (*numbers)[i];
        if (std::fabs(v) > static_cast<double>(FLT_MAX))
          return bad("--estimates: " + std::to_string(v) +
                     " lies outside the range of a 32-bit float");
        options->estimates[i] = static_cast<float>(v);
      }
    } else if (option == "--ticks") {
      const std::optional<std::vector<double>> numbers = ParseNumberList(value, 3);
      bool valid = numbers.has_value();
      for (size_t i = 0; valid && i < 3; ++i) {
        const double v = (*numbers)[i];
        valid = v == 0.0 || v == 1.0;
        if (valid)
          options->ticks[i] = v == 1.0 ? 1 : 0;
      }
      if (!valid)
        return bad("--ticks needs three values B0,B1,B2, each 0 or 1, not '" + value + "'");
    }
  }
  return !reader.failed();
}

// A label as the window shows it, with its unit; a label the run did not
// reach is cleared in the window and printed as "(cleared)".
std::string LabelText(const std::optional<std::string>& text, const std::string& unit) {
  if (!text)
    return "(cleared)";
  return *text + unit;
}

void PrintPlain(std::ostream& out, const std::string& wire_name, const TensionOutcome& outcome) {
  const std::string name = TrimmedWireName(wire_name);
  out << "conductor (電線サイズ):                 " << (name.empty() ? "(none)" : name) << "\n";
  out << "present tension (現在張力):             " << outcome.shown.present_tension << " kgf\n";
  // Label8(0) and Label8(1) side by side; an empty Label8(0) takes no room.
  std::string allow = LabelText(outcome.shown.allow_a, "");
  allow += (allow.empty() ? "" : "  ") + LabelText(outcome.shown.allow_bc, "");
  out << "span allowable tension (径間許容張力):  " << allow << "\n";
  out << "allowable tension ratio (許容張力比):   " << LabelText(outcome.shown.ratio, " %")
      << " on " << (outcome.shown.ratio_red ? "red" : "yellow") << "\n";
  out << "specified sag (規定弛度):               " << LabelText(outcome.shown.specified_sag, " m")
      << "\n";
  if (!outcome.ok())
    out << "error: " << outcome.error << "\n";
}

}  // namespace

int RunEvaluateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       const CliContext& context) {
  EvaluateOptions options;
  if (!ReadOptions(args, err, &options))
    return 2;
  if (options.help) {
    PrintEvaluateUsage(out);
    return 0;
  }

  const std::string path = options.data_path.value_or(context.program_folder + "/SetDT.dat");
  WireDataResult read = ReadWireData(path);
  if (!read.data) {
    err << kCommand << ": " << read.error << "\n";
    return 2;
  }

  MeasurementState state;
  state.WireLast = read.data->WireLast;
  state.WireTable = std::move(read.data->WireTable);
  state.DesignTemp = options.design_temps.value_or(read.data->DesignTemp);
  state.SpanLength = *TextToFloat(options.span_text);
  state.AirTemp = *TextToFloat(options.air_temp_text);
  state.WireIndex = options.wire;

  TensionInputs inputs;
  inputs.TensionEst = options.estimates;
  inputs.Check3 = options.ticks;
  const std::array<int, 3> boxes = CombinationBoxes(options.classes);
  inputs.ClassA = boxes[0];
  inputs.ClassC = boxes[2];

  const TensionOutcome outcome = EvaluateTension(state, inputs);
  const WireRecord* record = state.SelectedWire();
  const std::string wire_name = record != nullptr ? record->Name : std::string();

  if (options.json) {
    JsonWriter json;
    json.BeginObject();
    WriteTensionJson(json, outcome, wire_name);
    json.EndObject();
    out << json.str() << "\n";
  } else {
    PrintPlain(out, wire_name, outcome);
  }
  if (!outcome.ok()) {
    err << kCommand << ": the evaluation failed: " << outcome.error << "\n";
    return 1;
  }
  return 0;
}

}  // namespace sarn
