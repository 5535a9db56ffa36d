// sarn measure: loads a photo exactly as the window does, scans along a line
// given in the photo's own pixels, and runs the sag and tension chain.

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "app/cli.h"
#include "app/cli_options.h"
#include "app/cli_tension_json.h"
#include "output/json_writer.h"
#include "output/number_format.h"
#include "output/result_text.h"
#include "photo/photo_loader.h"
#include "sag/sag_computation.h"
#include "state/measurement_state.h"
#include "state/numeric.h"
#include "state/wire_table.h"
#include "tension/tension_evaluation.h"
#include "tension/wind_classes.h"
#include "tracing/guide_lines.h"
#include "tracing/hi_dat.h"
#include "tracing/scan.h"

namespace sarn {
namespace {

// The design inner width of the window: the overview that a headless load
// builds is the one the window would show at its design size.
constexpr int kDesignInnerWidth = 1004;

struct MeasureOptions {
  std::string photo;
  std::string batch;
  std::optional<std::array<double, 4>> line;  // photo pixels
  LoadSettings load;
  Criterion criterion = Criterion::ChangeValue;
  std::string threshold_text = "40";
  std::string data_path;
  int wire = 0;
  std::string span_text = "40";
  std::string air_temp_text = "20";
  std::string distance_text = "60";
  std::string height_text = "10";
  bool height_correction = false;
  std::optional<std::array<int16_t, 2>> design_temps;
  WindCombination classes = WindCombination::AB;
  bool json = false;
};

void PrintMeasureUsage(std::ostream& out) {
  out << "usage: sarn measure PHOTO --line X1,Y1,X2,Y2 [options]\n"
         "       sarn measure --batch LINES.csv [options]\n"
         "Loads PHOTO as the window does, scans along the line (photo pixels, drawn a\n"
         "little above the conductor, from one end of the span to the other) and prints\n"
         "the seven-line result text the window copies to the clipboard.\n"
         "options:\n"
         "  --no-cut                 keep the photo's whole height (window: 上下を削除 off)\n"
         "  --limit TEXT             working-width limit in pixels (default 5000)\n"
         "  --criterion change|dark  detection criterion (default change: 変化値)\n"
         "  --threshold TEXT         brightness threshold (default 40)\n"
         "  --data FILE              conductor data file (default SetDT.dat beside sarn)\n"
         "  --wire N                 conductor index in the data file (default 0)\n"
         "  --span TEXT              span length, m (default 40)\n"
         "  --air-temp TEXT          air temperature at the photo, degC (default 20)\n"
         "  --distance TEXT          approximate distance, m (default 60)\n"
         "  --height TEXT            approximate height, m (default 10)\n"
         "  --height-correction      apply the height correction\n"
         "  --design-temps A,L       class-A and low-season temperatures (default: the file's)\n"
         "  --classes A+B|A+C|C      wind-load classes (default A+B)\n"
         "  --json                   print one JSON object instead\n"
         "  --batch LINES.csv        rows photo,x1,y1,x2,y2 (paths relative to the CSV);\n"
         "                           prints one CSV row of results per photo\n";
}

// Parses the options; returns false after printing a message on `err`.
bool ParseMeasureOptions(const std::vector<std::string>& args, MeasureOptions& o, std::ostream& err,
                         const CliContext& context, bool* help) {
  o.data_path = context.program_folder + "/SetDT.dat";
  OptionReader reader(args, "sarn measure", err);
  while (reader.More()) {
    const std::string arg = reader.Next();
    std::string value;
    if (arg == "--help" || arg == "-h") {
      *help = true;
      return true;
    } else if (arg == "--json") {
      o.json = true;
    } else if (arg == "--no-cut") {
      o.load.cut = false;
    } else if (arg == "--height-correction") {
      o.height_correction = true;
    } else if (arg == "--line") {
      if (!reader.Value(arg, &value))
        return false;
      std::optional<std::vector<double>> numbers = ParseNumberList(value, 4);
      if (!numbers) {
        err << "sarn measure: --line takes four numbers X1,Y1,X2,Y2 (photo pixels), not '" << value
            << "'\n";
        return false;
      }
      o.line = std::array<double, 4>{(*numbers)[0], (*numbers)[1], (*numbers)[2], (*numbers)[3]};
    } else if (arg == "--limit") {
      if (!reader.Value(arg, &o.load.limit_text))
        return false;
    } else if (arg == "--criterion") {
      if (!reader.Value(arg, &value))
        return false;
      if (value == "change") {
        o.criterion = Criterion::ChangeValue;
      } else if (value == "dark") {
        o.criterion = Criterion::Darkness;
      } else {
        err << "sarn measure: --criterion is 'change' or 'dark', not '" << value << "'\n";
        return false;
      }
    } else if (arg == "--threshold") {
      if (!reader.Value(arg, &o.threshold_text))
        return false;
      if (!StrictNumber(o.threshold_text)) {
        err << "sarn measure: --threshold must be a number, not '" << o.threshold_text << "'\n";
        return false;
      }
    } else if (arg == "--data") {
      if (!reader.Value(arg, &o.data_path))
        return false;
    } else if (arg == "--wire") {
      if (!reader.Value(arg, &value))
        return false;
      std::optional<int16_t> n = StrictInteger16(value);
      if (!n || *n != StrictNumber(value)) {
        err << "sarn measure: --wire takes a whole number, not '" << value << "'\n";
        return false;
      }
      o.wire = *n;
    } else if (arg == "--span") {
      if (!reader.Value(arg, &o.span_text))
        return false;
    } else if (arg == "--air-temp") {
      if (!reader.Value(arg, &o.air_temp_text))
        return false;
    } else if (arg == "--distance") {
      if (!reader.Value(arg, &o.distance_text))
        return false;
      if (!RoundToInt16(NumericParse(o.distance_text))) {
        err << "sarn measure: --distance must lie within -32768..32767 m\n";
        return false;
      }
    } else if (arg == "--height") {
      if (!reader.Value(arg, &o.height_text))
        return false;
      if (!StrictInteger16(o.height_text)) {
        err << "sarn measure: --height must be a number within -32768..32767 m, not '"
            << o.height_text << "'\n";
        return false;
      }
    } else if (arg == "--design-temps") {
      if (!reader.Value(arg, &value))
        return false;
      std::optional<std::array<int16_t, 2>> temps = ParseDesignTemps(value);
      if (!temps) {
        err << "sarn measure: --design-temps takes two temperatures A,L within -32768..32767, "
               "not '"
            << value << "'\n";
        return false;
      }
      o.design_temps = temps;
    } else if (arg == "--classes") {
      if (!reader.Value(arg, &value))
        return false;
      std::optional<WindCombination> c = ParseCombination(value);
      if (!c) {
        err << "sarn measure: --classes is A+B, A+C or C, not '" << value << "'\n";
        return false;
      }
      o.classes = *c;
    } else if (arg == "--batch") {
      if (!reader.Value(arg, &o.batch))
        return false;
    } else if (!arg.empty() && arg[0] == '-') {
      err << "sarn measure: unknown option '" << arg << "'\n";
      return false;
    } else if (o.photo.empty()) {
      o.photo = arg;
    } else {
      err << "sarn measure: more than one photo given ('" << o.photo << "', '" << arg << "')\n";
      return false;
    }
  }
  if (reader.failed())
    return false;
  if (o.batch.empty()) {
    if (o.photo.empty()) {
      err << "sarn measure: no photo given\n";
      return false;
    }
    if (!o.line) {
      err << "sarn measure: --line X1,Y1,X2,Y2 is required (photo pixels)\n";
      return false;
    }
  } else if (!o.photo.empty() || o.line) {
    err << "sarn measure: --batch takes the photos and lines from the CSV; give no photo or "
           "--line\n";
    return false;
  }
  return true;
}

// Everything one measurement produces, for the plain, JSON and CSV outputs.
struct Measurement {
  LoadedPhoto photo;
  ScanLine line;  // working-image pixels (ImgScale 1)
  ScanResult scan;
  SagOutcome sag;
  std::array<int, 3> ticks{};
  TensionOutcome tension;
  std::string result_text;
  std::string wire_name;
  std::optional<std::string> hi_dat_path;
};

struct MeasureFailure {
  std::string message;
};

// The chain of the window, run once: scan -> sag -> preselection ->
// evaluation -> result text.
std::variant<Measurement, MeasureFailure> MeasureOne(const std::string& photo_path,
                                                     const std::array<double, 4>& photo_line,
                                                     const MeasureOptions& o,
                                                     const MeasurementState& base_state,
                                                     const CliContext& context, bool* hi_dat_warned,
                                                     std::ostream& err) {
  LoadCallbacks callbacks;
  callbacks.ask_retry = [] { return false; };
  callbacks.fallback_decoder = context.fallback_decoder;
  LoadOutcome loaded = LoadPhotoWithRecovery(photo_path, o.load, kDesignInnerWidth, callbacks);
  if (!loaded.photo) {
    std::string why = loaded.failure ? loaded.failure->reason : "the photo could not be loaded";
    const int code = loaded.failure ? loaded.failure->code : 0;
    return MeasureFailure{photo_path + ": " + why + " (エラーコード=" + std::to_string(code) + ")"};
  }
  Measurement m;
  m.photo = std::move(*loaded.photo);

  double wx1 = 0, wy1 = 0, wx2 = 0, wy2 = 0;
  const int pw = m.photo.photo_width, ph = m.photo.photo_height;
  PhotoToWorking(m.photo.plan, pw, ph, photo_line[0], photo_line[1], &wx1, &wy1);
  PhotoToWorking(m.photo.plan, pw, ph, photo_line[2], photo_line[3], &wx2, &wy2);
  m.line = ScanLine{static_cast<float>(wx1), static_cast<float>(wy1), static_cast<float>(wx2),
                    static_cast<float>(wy2)};

  const double threshold = StrictNumber(o.threshold_text).value_or(0.0);
  m.scan = RunScan(m.line, 1.0f, RasterPixels(m.photo.working), o.criterion, threshold);

  const std::string hi_dat = context.program_folder + "/hi.dat";
  std::string why;
  if (WriteHiDat(hi_dat, m.scan, &why)) {
    m.hi_dat_path = hi_dat;
  } else if (!*hi_dat_warned) {
    err << "sarn measure: hi.dat not written (" << why << "); going on without it\n";
    *hi_dat_warned = true;
  }

  const ScanGuides guides = ComputeGuides(m.line, 1.0f, m.scan.WireY);
  SagInputs sag_inputs;
  sag_inputs.WireY = m.scan.WireY;
  sag_inputs.ChordX1 = guides.chord_working.X1;
  sag_inputs.ChordX2 = guides.chord_working.X2;
  sag_inputs.Check6 = {0, o.height_correction ? 1 : 0, 0};
  m.sag = ComputeSag(base_state, sag_inputs);
  m.ticks = PreselectEstimates(m.sag, {0, 0, 0});

  TensionInputs tension_inputs;
  tension_inputs.TensionEst = {m.sag.TensionEst[0], m.sag.TensionEst[1], m.sag.TensionEst[2]};
  tension_inputs.Check3 = m.ticks;
  const std::array<int, 3> boxes = CombinationBoxes(o.classes);
  tension_inputs.ClassA = boxes[0];
  tension_inputs.ClassC = boxes[2];
  m.tension = EvaluateTension(base_state, tension_inputs);

  const WireRecord* wire = base_state.SelectedWire();
  m.wire_name = wire ? TrimmedWireName(wire->Name) : std::string();
  ResultTextFields fields;
  fields.conductor_name = wire ? wire->Name : std::string();
  fields.span_text = o.span_text;
  fields.distance_text = o.distance_text;
  fields.present_tension = m.tension.shown.present_tension;
  for (int i = 0; i < 3; ++i)
    fields.estimates[i] = m.sag.estimate_texts[i];
  m.result_text = BuildResultText(fields);
  return m;
}

void WriteMeasurementJson(JsonWriter& json, const std::string& photo_path, const Measurement& m) {
  json.BeginObject();
  json.Key("photo").String(photo_path);
  json.Key("working_image").BeginObject();
  json.Key("width").Integer(m.photo.plan.W2);
  json.Key("height").Integer(m.photo.plan.H2);
  json.Key("case").String(std::string(1, LoadCaseLetter(m.photo.plan.load_case)));
  json.Key("scale").Number(m.photo.plan.k);
  json.Key("limit").Number(m.photo.limit);
  json.EndObject();
  json.Key("line").BeginArray().Number(m.line.X1).Number(m.line.Y1).Number(m.line.X2).Number(
      m.line.Y2);
  json.EndArray();
  json.Key("stations").BeginArray();
  for (int i = 0; i < kStations; ++i) {
    json.BeginObject();
    json.Key("x").Integer(m.scan.StationX[i]);
    json.Key("scan_top").Integer(m.scan.ScanTop[i]);
    json.Key("wire_y").Integer(m.scan.WireY[i]);
    json.EndObject();
  }
  json.EndArray();
  json.Key("hi_dat");
  if (m.hi_dat_path) {
    json.String(*m.hi_dat_path);
  } else {
    json.Null();
  }
  json.Key("sag").BeginArray();
  for (int i = 0; i < 4; ++i) {
    json.Number(m.sag.SagDefined[i] ? std::optional<float>(m.sag.SagEst[i]) : std::nullopt);
  }
  json.EndArray();
  json.Key("chord_length").BeginArray();
  for (float c : m.sag.ChordLength)
    json.Number(c);
  json.EndArray();
  json.Key("tension_estimates").BeginArray();
  for (int i = 0; i < 4; ++i) {
    json.Number(m.sag.EstimateDefined[i] ? std::optional<float>(m.sag.TensionEst[i])
                                         : std::nullopt);
  }
  json.EndArray();
  json.Key("ticks").BeginArray();
  for (int t : m.ticks)
    json.Integer(t);
  json.EndArray();
  WriteTensionJson(json, m.tension, m.wire_name);
  json.Key("result_text").String(m.result_text);
  json.EndObject();
}

std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::vector<std::string> SplitCsvLine(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      cells.push_back(cell);
      cell.clear();
    } else if (c != '\r') {
      cell += c;
    }
  }
  cells.push_back(cell);
  for (std::string& s : cells) {
    const size_t b = s.find_first_not_of(" \t");
    const size_t e = s.find_last_not_of(" \t");
    s = b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
  }
  return cells;
}

int RunBatch(const MeasureOptions& o, const MeasurementState& state, std::ostream& out,
             std::ostream& err, const CliContext& context) {
  std::ifstream csv(o.batch);
  if (!csv) {
    err << "sarn measure: cannot read the batch file " << o.batch << "\n";
    return 2;
  }
  const std::filesystem::path base = std::filesystem::path(o.batch).parent_path();
  out << "photo,present_sag,estimate_4_4,estimate_3_4,estimate_2_4,present_tension,"
         "governing_tension,ratio,specified_sag,error\n";
  bool hi_dat_warned = false;
  int failures = 0;
  std::string line;
  int line_number = 0;
  while (std::getline(csv, line)) {
    ++line_number;
    if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#')
      continue;
    std::vector<std::string> cells = SplitCsvLine(line);
    if (line_number == 1 && !cells.empty() && cells[0] == "photo")
      continue;  // a header row
    const std::string photo = cells.empty() ? std::string() : cells[0];
    std::string error;
    std::optional<Measurement> m;
    std::array<double, 4> coords{};
    if (cells.size() != 5) {
      error = "line " + std::to_string(line_number) + ": expected photo,x1,y1,x2,y2";
    } else {
      for (int i = 0; i < 4 && error.empty(); ++i) {
        std::optional<double> v = StrictNumber(cells[i + 1]);
        if (!v) {
          error =
              "line " + std::to_string(line_number) + ": '" + cells[i + 1] + "' is not a number";
        } else {
          coords[i] = *v;
        }
      }
    }
    std::string photo_path = photo;
    if (error.empty()) {
      std::filesystem::path p(photo);
      if (p.is_relative())
        p = base / p;
      photo_path = p.string();
      auto result = MeasureOne(photo_path, coords, o, state, context, &hi_dat_warned, err);
      if (auto* f = std::get_if<MeasureFailure>(&result)) {
        error = f->message;
      } else {
        m = std::move(std::get<Measurement>(result));
        if (!m->tension.ok())
          error = m->tension.error;
      }
    }
    out << CsvCell(photo);
    if (m) {
      const TensionOutcome& t = m->tension;
      out << ',' << CsvCell(m->sag.sag_text);
      for (const std::string& e : m->sag.estimate_texts)
        out << ',' << CsvCell(e);
      out << ',' << CsvCell(t.shown.present_tension);
      out << ',' << (t.Governing ? FormatFixed(*t.Governing, 1) : std::string());
      out << ',' << t.shown.ratio.value_or("");
      out << ',' << t.shown.specified_sag.value_or("");
    } else {
      out << ",,,,,,,,";
    }
    out << ',' << CsvCell(error) << '\n';
    if (!error.empty())
      ++failures;
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

int RunMeasureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CliContext& context) {
  MeasureOptions o;
  bool help = false;
  if (!ParseMeasureOptions(args, o, err, context, &help)) {
    err << "Run 'sarn measure --help' for the options.\n";
    return 2;
  }
  if (help) {
    PrintMeasureUsage(out);
    return 0;
  }

  WireDataResult data = ReadWireData(o.data_path);
  if (!data.data) {
    err << "sarn measure: " << data.error << "\n";
    return 2;
  }
  MeasurementState state;
  state.WireLast = data.data->WireLast;
  state.WireTable = data.data->WireTable;
  state.DesignTemp = o.design_temps.value_or(data.data->DesignTemp);
  state.WireIndex = static_cast<int16_t>(o.wire);
  state.SpanLength = static_cast<float>(NumericParse(o.span_text));
  state.AirTemp = static_cast<float>(NumericParse(o.air_temp_text));
  state.ApproxDistance = RoundToInt16(NumericParse(o.distance_text)).value_or(0);
  state.ApproxHeight = StrictInteger16(o.height_text).value_or(0);

  if (!o.batch.empty())
    return RunBatch(o, state, out, err, context);

  bool hi_dat_warned = false;
  auto result = MeasureOne(o.photo, *o.line, o, state, context, &hi_dat_warned, err);
  if (auto* f = std::get_if<MeasureFailure>(&result)) {
    err << "sarn measure: " << f->message << "\n";
    return 2;
  }
  const Measurement& m = std::get<Measurement>(result);
  if (o.json) {
    JsonWriter json;
    WriteMeasurementJson(json, o.photo, m);
    out << json.str() << "\n";
  } else if (m.tension.ok()) {
    out << m.result_text;
  }
  if (!m.tension.ok()) {
    err << "sarn measure: the evaluation stopped: " << m.tension.error << "\n";
    return 1;
  }
  return 0;
}

}  // namespace sarn
