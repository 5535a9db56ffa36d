#include "app/cli_options.h"

#include <cfloat>
#include <cmath>
#include <ostream>

#include "state/numeric.h"

namespace sarn {
namespace {

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    parts.push_back(
        text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
    if (comma == std::string_view::npos)
      break;
    start = comma + 1;
  }
  return parts;
}

std::optional<int16_t> WholeNumber16Of(const std::string& text) {
  const std::optional<double> value = StrictNumber(text);
  if (!value || *value != std::trunc(*value))
    return std::nullopt;
  return RoundToInt16(*value);
}

}  // namespace

const CLI::Validator& FloatText() {
  static const CLI::Validator validator(
      [](std::string& text) -> std::string {
        const double value = NumericParse(text);
        if (std::isfinite(value) && std::fabs(value) <= double{FLT_MAX})
          return {};
        return "'" + text + "' lies outside the range of a 32-bit float";
      },
      "TEXT");
  return validator;
}

CLI::Validator TextRule(std::string shape, std::function<bool(const std::string&)> valid,
                        std::string rule) {
  return CLI::Validator(
      [valid = std::move(valid), rule = std::move(rule)](std::string& text) -> std::string {
        if (valid(text))
          return {};
        return rule + ", not '" + text + "'";
      },
      std::move(shape));
}

const CLI::Validator& WholeNumber16() {
  static const CLI::Validator validator = TextRule(
      "N", [](const std::string& text) { return WholeNumber16Of(text).has_value(); },
      "takes a whole number within -32768..32767");
  return validator;
}

const CLI::Validator& NumberText() {
  static const CLI::Validator validator = TextRule(
      "NUMBER", [](const std::string& text) { return StrictNumber(text).has_value(); },
      "must be a number");
  return validator;
}

std::optional<std::vector<double>> ParseNumberList(std::string_view text, size_t count) {
  std::vector<std::string_view> parts = SplitCommas(text);
  if (parts.size() != count)
    return std::nullopt;
  std::vector<double> numbers;
  for (std::string_view part : parts) {
    std::optional<double> v = StrictNumber(part);
    if (!v)
      return std::nullopt;
    numbers.push_back(*v);
  }
  return numbers;
}

std::optional<std::array<int16_t, 2>> ParseDesignTemps(std::string_view text) {
  std::vector<std::string_view> parts = SplitCommas(text);
  if (parts.size() != 2)
    return std::nullopt;
  std::array<int16_t, 2> temps{};
  for (size_t i = 0; i < 2; ++i) {
    std::optional<int16_t> t = RoundToInt16(NumericParse(parts[i]));
    if (!t)
      return std::nullopt;
    temps[i] = *t;
  }
  return temps;
}

void AddConductorOptions(CLI::App& command, ConductorOptions& options) {
  command
      .add_option("--data", options.data_path,
                  "conductor data file (default: SetDT.dat beside the program)")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            return text.empty() ? "needs a file name" : std::string();
          },
          "FILE"));
  command
      .add_option_function<std::string>(
          "--wire", [&options](const std::string& text) { options.wire = *WholeNumber16Of(text); },
          "conductor index in the data file (default 0)")
      ->check(WholeNumber16());
  command.add_option("--span", options.span_text, "span length, m (default 40)")
      ->check(FloatText());
  command
      .add_option("--air-temp", options.air_temp_text,
                  "air temperature at the photograph, degC (default 20)")
      ->check(FloatText());
  command
      .add_option_function<std::string>(
          "--design-temps",
          [&options](const std::string& text) { options.design_temps = ParseDesignTemps(text); },
          "class-A and low-temperature-season temperatures, degC (default: the data file's)")
      ->check(TextRule(
          "A,L", [](const std::string& text) { return ParseDesignTemps(text).has_value(); },
          "takes two temperatures A,L within -32768..32767"));
  command
      .add_option_function<std::string>(
          "--classes",
          [&options](const std::string& text) { options.classes = *ParseCombination(text); },
          "wind-load classes A+B (default), A+C or C")
      ->check(TextRule(
          "A+B|A+C|C", [](const std::string& text) { return ParseCombination(text).has_value(); },
          "is A+B, A+C or C"));
}

void AddJsonFlag(CLI::App& command, bool& json) {
  command.add_flag("--json", json, "print one JSON object instead")->disable_flag_override();
}

void AddChartRangeOptions(CLI::App& command, TemperatureRange& range, std::string* saved_from) {
  auto number = [](double* target) {
    return [target](const std::string& text) { *target = *StrictNumber(text); };
  };
  if (saved_from == nullptr) {
    command
        .add_option_function<std::string>("--from", number(&range.from_c),
                                          "first temperature of the chart, degC (default -20)")
        ->check(NumberText());
  } else {
    command
        .add_option_function<std::vector<std::string>>(
            "--from",
            [&range, saved_from](const std::vector<std::string>& values) {
              int temperatures = 0, files = 0;
              for (const std::string& value : values) {
                if (const std::optional<double> t = StrictNumber(value)) {
                  range.from_c = *t;
                  ++temperatures;
                } else {
                  *saved_from = value;
                  ++files;
                }
              }
              if (temperatures > 1 || files > 1)
                throw CLI::ValidationError("--from",
                                           "takes one saved measurement and one temperature");
            },
            "FILE.sarn.json: measure a saved measurement again (photo, line and inputs from "
            "the file); T, a number: first temperature of the chart, degC (default -20)")
        ->type_name("FILE|T")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }
  command
      .add_option_function<std::string>("--to", number(&range.to_c),
                                        "last temperature of the chart, degC (default 40)")
      ->check(NumberText());
  command
      .add_option_function<std::string>("--step", number(&range.step_c),
                                        "temperature step of the chart, degC (default 5)")
      ->check(NumberText());
}

std::string DataFilePath(const std::string& given, const CliContext& context) {
  return given.empty() ? context.program_folder + "/SetDT.dat" : given;
}

bool ReadConductorData(const ConductorOptions& options, const CliContext& context,
                       const std::string& command, std::ostream& err, WireData* data) {
  WireDataResult read = ReadWireData(DataFilePath(options.data_path, context));
  if (!read.ok()) {
    err << command << ": " << read.failure().English() << "\n";
    return false;
  }
  *data = std::move(*read);
  return true;
}

SessionInputs ConductorInputs(const ConductorOptions& options) {
  SessionInputs inputs;
  inputs.wire = options.wire;
  inputs.span_text = options.span_text;
  inputs.air_temp_text = options.air_temp_text;
  if (options.design_temps) {
    inputs.design_temp_texts = {PlainInteger((*options.design_temps)[0]),
                                PlainInteger((*options.design_temps)[1])};
  }
  inputs.classes = options.classes;
  return inputs;
}

std::optional<int> ParseCommand(CLI::App& command, const std::vector<std::string>& args,
                                std::ostream& out, std::ostream& err) {
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    command.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << command.help();
    return kExitSuccess;
  } catch (const CLI::ParseError& error) {
    err << command.get_name() << ": " << error.what() << "\n"
        << "Run '" << command.get_name() << " --help' for the options.\n";
    return kExitBadInput;
  }
  return std::nullopt;
}

}  // namespace sarn
