#include "session/saved_measurement.h"

#include <cmath>
#include <filesystem>
#include <utility>

#include "photo/load_plan.h"
#include "session/session_json.h"
#include "state/file_digest.h"

namespace sarn {
namespace {

// A field of the file that is missing or not of its kind; caught once, at
// the top of the reader, and reported with the field's name.
struct FieldError {
  std::string field;
};

std::string Name(const std::string& where, const char* key) {
  return where.empty() ? std::string(key) : where + "." + key;
}

const Json& Field(const Json& object, const char* key, const std::string& where) {
  const std::string name = Name(where, key);
  if (!object.is_object())
    throw FieldError{where};
  const auto found = object.find(key);
  if (found == object.end())
    throw FieldError{name};
  return *found;
}

std::string TextField(const Json& object, const char* key, const std::string& where) {
  const Json& value = Field(object, key, where);
  if (!value.is_string())
    throw FieldError{Name(where, key)};
  return value.get<std::string>();
}

bool FlagField(const Json& object, const char* key, const std::string& where) {
  const Json& value = Field(object, key, where);
  if (!value.is_boolean())
    throw FieldError{Name(where, key)};
  return value.get<bool>();
}

// A whole number within lowest..highest.
int64_t WholeValue(const Json& value, int64_t lowest, int64_t highest, const std::string& name) {
  if (value.is_number_integer()) {
    const int64_t n = value.get<int64_t>();
    if (n >= lowest && n <= highest)
      return n;
  } else if (value.is_number_unsigned()) {
    const uint64_t n = value.get<uint64_t>();
    if (highest >= 0 && n <= static_cast<uint64_t>(highest))
      return static_cast<int64_t>(n);
  }
  throw FieldError{name};
}

int64_t WholeField(const Json& object, const char* key, const std::string& where, int64_t lowest,
                   int64_t highest) {
  return WholeValue(Field(object, key, where), lowest, highest, Name(where, key));
}

// Exactly `N` elements, each read by `read(element, name)`.
template <size_t N, typename Read>
auto ArrayField(const Json& object, const char* key, const std::string& where, Read read) {
  const Json& value = Field(object, key, where);
  const std::string name = Name(where, key);
  if (!value.is_array() || value.size() != N)
    throw FieldError{name};
  std::array<decltype(read(value[0], name)), N> items{};
  for (size_t i = 0; i < N; ++i)
    items[i] = read(value[i], name + "[" + std::to_string(i) + "]");
  return items;
}

std::string ReadText(const Json& value, const std::string& name) {
  if (!value.is_string())
    throw FieldError{name};
  return value.get<std::string>();
}

int ReadBox(const Json& value, const std::string& name) {
  return static_cast<int>(WholeValue(value, 0, 1, name));
}

// A photo coordinate: finite, and within a million pixels of the photo
// (sides are at most 32767), so that no conversion overflows.
double ReadCoordinate(const Json& value, const std::string& name) {
  if (!value.is_number())
    throw FieldError{name};
  const double x = value.get<double>();
  if (!std::isfinite(x) || std::fabs(x) > 1e6)
    throw FieldError{name};
  return x;
}

SavedInputs ReadInputs(const Json& root) {
  const std::string w = "inputs";
  const Json& in = Field(root, "inputs", "");
  SavedInputs inputs;
  inputs.conductor = TextField(in, "conductor", w);
  inputs.conductor_index = static_cast<int16_t>(WholeField(in, "conductor_index", w, 0, 32767));
  inputs.span = TextField(in, "span", w);
  inputs.air_temp = TextField(in, "air_temp", w);
  inputs.distance = TextField(in, "distance", w);
  inputs.height = TextField(in, "height", w);
  inputs.design_temps = ArrayField<2>(in, "design_temps", w, ReadText);
  inputs.threshold = TextField(in, "threshold", w);
  const std::string criterion = TextField(in, "criterion", w);
  if (criterion != "change" && criterion != "dark")
    throw FieldError{w + ".criterion"};
  inputs.criterion = criterion == "dark" ? Criterion::Darkness : Criterion::ChangeValue;
  inputs.load.limit_text = TextField(in, "limit", w);
  inputs.load.cut = FlagField(in, "cut", w);
  inputs.load.auto_adjust = FlagField(in, "auto_adjust", w);
  inputs.corrections = ArrayField<3>(in, "corrections", w, ReadBox);
  const std::optional<WindCombination> classes = ParseCombination(TextField(in, "classes", w));
  if (!classes)
    throw FieldError{w + ".classes"};
  inputs.classes = *classes;
  inputs.ticks = ArrayField<3>(in, "ticks", w, ReadBox);
  return inputs;
}

SavedResults ReadResults(const Json& root) {
  const std::string w = "results";
  const Json& in = Field(root, "results", "");
  SavedResults results;
  ShownResults& shown = results.shown;
  shown.present_sag = TextField(in, "present_sag", w);
  shown.estimates = ArrayField<3>(in, "estimates", w, ReadText);
  shown.present_tension = TextField(in, "present_tension", w);
  shown.allow_a = TextField(in, "allowable_a", w);
  shown.allow_bc = TextField(in, "allowable_bc", w);
  shown.ratio = TextField(in, "ratio", w);
  shown.specified_sag = TextField(in, "specified_sag", w);
  const std::string colour = TextField(in, "ratio_colour", w);
  if (colour != "red" && colour != "yellow")
    throw FieldError{w + ".ratio_colour"};
  shown.ratio_red = colour == "red";
  results.result_text = TextField(in, "result_text", w);
  return results;
}

bool IsSha256Hex(const std::string& text) {
  if (text.size() != 64)
    return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
      return false;
  }
  return true;
}

SavedMeasurement ReadFields(const Json& root, int version) {
  SavedMeasurement saved;
  saved.version = version;
  saved.sarn_version = TextField(root, "sarn_version", "");
  const Json& photo = Field(root, "photo", "");
  saved.photo = TextField(photo, "path", "photo");
  if (saved.photo.empty() || saved.photo.find('\0') != std::string::npos)
    throw FieldError{"photo.path"};
  saved.photo_sha256 = TextField(photo, "sha256", "photo");
  if (!IsSha256Hex(saved.photo_sha256))
    throw FieldError{"photo.sha256"};
  saved.line = ArrayField<4>(root, "line", "", ReadCoordinate);
  saved.inputs = ReadInputs(root);
  saved.inputs.view_width = static_cast<int>(WholeField(root, "view_width", "", 100, 32767));
  const Json& modes = Field(root, "modes", "");
  saved.modes.precision = FlagField(modes, "precision", "modes");
  // Lens correction came later than the first files: absent means off.
  if (modes.is_object() && modes.contains("lens")) {
    saved.modes.lens = TextField(modes, "lens", "modes");
    if (saved.modes.lens.empty())
      throw FieldError{"modes.lens"};
  }
  saved.results = ReadResults(root);
  return saved;
}

SavedFailure Failure(SavedProblem problem, std::string path, std::string detail = {}) {
  SavedFailure failure;
  failure.problem = problem;
  failure.path = std::move(path);
  failure.detail = std::move(detail);
  return failure;
}

const char* JapaneseFileProblem(FileProblem problem) {
  switch (problem) {
    case FileProblem::kNotFound:
      return "ファイルがありません";
    case FileProblem::kNoPermission:
      return "読み書きの権限がありません";
    case FileProblem::kFolder:
      return "ファイルではなくフォルダーです";
    case FileProblem::kNotRegular:
      return "通常のファイルではありません";
    case FileProblem::kTooLarge:
      return "ファイルが大きすぎます";
    case FileProblem::kReadError:
      return "読み取りに失敗しました";
    case FileProblem::kWriteError:
      return "書き込みに失敗しました";
  }
  return "読み取りに失敗しました";
}

// The names of the shown results, for the commands and for the window.
struct ResultName {
  const char* key;
  const char* english;
  const char* japanese;
};
constexpr ResultName kResultNames[] = {
    {"present_sag", "present sag", "現在弛度"},
    {"estimates[0]", "estimate 4/4", "推定張力 4/4"},
    {"estimates[1]", "estimate 3/4", "推定張力 3/4"},
    {"estimates[2]", "estimate 2/4", "推定張力 2/4"},
    {"present_tension", "present tension", "現在張力"},
    {"allowable_a", "class A allowable tension", "径間許容張力（甲種）"},
    {"allowable_bc", "class B/C allowable tension", "径間許容張力（乙種・丙種）"},
    {"ratio", "allowable tension ratio", "許容張力比"},
    {"specified_sag", "specified sag", "規定弛度"},
    {"ratio_colour", "colour of the ratio", "許容張力比の色"},
    {"result_text", "result text", "結果テキスト"},
};

std::string ShownValue(const std::string& value, Wording wording) {
  if (!value.empty())
    return value;
  return wording == Wording::kWindow ? "（空）" : "(empty)";
}

}  // namespace

std::string SavedFailureText(const SavedFailure& f, Wording wording) {
  const bool window = wording == Wording::kWindow;
  const std::string file_problem =
      f.file_error ? (window ? JapaneseFileProblem(f.file_error->problem) : f.file_error->what)
                   : std::string();
  switch (f.problem) {
    case SavedProblem::kUnreadable:
      return window ? "測定ファイルを読めません: " + f.path + "（" + file_problem + "）"
                    : "cannot read the measurement file " + f.path + ": " + file_problem;
    case SavedProblem::kBroken:
      if (f.byte) {
        const std::string at = std::to_string(*f.byte);
        return window ? f.path + ": 測定ファイルが壊れています（JSON の " + at + " バイト目）"
                      : f.path +
                            ": the measurement file is damaged: its JSON breaks off or "
                            "goes wrong at byte " +
                            at;
      }
      return window ? f.path + ": 測定ファイルが壊れています（項目 " + f.detail +
                          " が無いか正しくありません）"
                    : f.path + ": the measurement file is damaged: the field '" + f.detail +
                          "' is missing or malformed";
    case SavedProblem::kForeign:
      return window ? f.path + ": Sarn の測定ファイルではありません"
                    : f.path + ": not a Sarn measurement file";
    case SavedProblem::kNewerVersion: {
      const std::string theirs = std::to_string(f.version);
      const std::string ours = std::to_string(kSavedFormatVersion);
      return window ? f.path + ": 新しい Sarn で保存された測定です（形式の版 " + theirs +
                          "。この Sarn が読めるのは版 " + ours + " までです）"
                    : f.path + ": saved by a newer Sarn (format version " + theirs +
                          "; this Sarn reads up to version " + ours + ")";
    }
    case SavedProblem::kPhotoUnreadable:
      return window ? "測定の写真を読めません: " + f.path + "（" + file_problem + "）"
                    : "cannot read the photo of the measurement " + f.path + ": " + file_problem;
    case SavedProblem::kUnknownConductor:
      return window ? f.path + ": 電線サイズ「" + f.detail + "」が電線データにありません"
                    : f.path + ": the conductor '" + f.detail + "' is not in the conductor data";
    case SavedProblem::kNothingToSave:
      return window ? "保存する測定がありません。写真を読み込み、線を引いてください。"
                    : "there is no measurement to save: no photo, or no line scanned";
    case SavedProblem::kStaleResults:
      return window ? "明るさ閾値が数値でないため、表示中の結果は今の入力によるものではありま"
                      "せん。測定を保存しませんでした。"
                    : "the results shown belong to an earlier scan (the threshold is not a "
                      "number); nothing saved";
    case SavedProblem::kNotWritten:
      if (f.file_error) {
        return window ? "測定を保存できません: " + f.path + "（" + file_problem + "）"
                      : "cannot save the measurement " + f.path + ": " + file_problem;
      }
      return window ? "測定を保存できません: " + f.path + "（写真のパスが UTF-8 ではありません）"
                    : "cannot save the measurement " + f.path + ": " + f.detail;
  }
  return f.path;
}

std::variant<SavedMeasurement, SavedFailure> ParseSavedMeasurement(std::string_view text,
                                                                   const std::string& path) {
  Json root;
  try {
    root = Json::parse(text.begin(), text.end());
  } catch (const Json::parse_error& error) {
    SavedFailure failure = Failure(SavedProblem::kBroken, path);
    failure.byte = error.byte;
    return failure;
  }
  const auto format = root.is_object() ? root.find("format") : root.end();
  if (!root.is_object() || format == root.end() || !format->is_string() ||
      format->get<std::string>() != kSavedFormatName)
    return Failure(SavedProblem::kForeign, path);
  try {
    const int64_t version = WholeField(root, "version", "", 1, INT64_MAX);
    if (version > kSavedFormatVersion) {
      SavedFailure failure = Failure(SavedProblem::kNewerVersion, path);
      failure.version = version > INT32_MAX ? INT32_MAX : static_cast<int>(version);
      return failure;
    }
    return ReadFields(root, static_cast<int>(version));
  } catch (const FieldError& error) {
    return Failure(SavedProblem::kBroken, path, error.field.empty() ? "(top)" : error.field);
  }
}

std::variant<SavedMeasurement, SavedFailure> ReadSavedMeasurement(const std::string& path) {
  auto read = ReadWholeFile(path, kLargestSavedFileBytes);
  if (auto* error = std::get_if<FileError>(&read)) {
    SavedFailure failure = Failure(SavedProblem::kUnreadable, path);
    failure.file_error = *error;
    return failure;
  }
  const std::vector<uint8_t>& bytes = std::get<std::vector<uint8_t>>(read);
  return ParseSavedMeasurement(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
}

std::variant<std::string, SavedFailure> SavedMeasurementText(const SavedMeasurement& saved) {
  const SavedInputs& in = saved.inputs;
  Json json = Json::object();
  json["format"] = kSavedFormatName;
  json["version"] = saved.version;
  json["sarn_version"] = saved.sarn_version;
  json["photo"] = Json::object({{"path", saved.photo}, {"sha256", saved.photo_sha256}});
  Json line = Json::array();
  for (double x : saved.line)
    line.push_back(JsonNumber(x));
  json["line"] = std::move(line);
  json["view_width"] = in.view_width;

  Json inputs = Json::object();
  inputs["conductor"] = in.conductor;
  inputs["conductor_index"] = in.conductor_index;
  inputs["span"] = in.span;
  inputs["air_temp"] = in.air_temp;
  inputs["distance"] = in.distance;
  inputs["height"] = in.height;
  inputs["design_temps"] = in.design_temps;
  inputs["threshold"] = in.threshold;
  inputs["criterion"] = in.criterion == Criterion::Darkness ? "dark" : "change";
  inputs["limit"] = in.load.limit_text;
  inputs["cut"] = in.load.cut;
  inputs["auto_adjust"] = in.load.auto_adjust;
  inputs["corrections"] = in.corrections;
  inputs["classes"] = std::string(CombinationName(in.classes));
  inputs["ticks"] = in.ticks;
  json["inputs"] = std::move(inputs);
  json["modes"] = Json::object({{"precision", saved.modes.precision}, {"lens", saved.modes.lens}});

  const ShownResults& shown = saved.results.shown;
  Json results = Json::object();
  results["present_sag"] = shown.present_sag;
  results["estimates"] = shown.estimates;
  results["present_tension"] = shown.present_tension;
  results["allowable_a"] = shown.allow_a;
  results["allowable_bc"] = shown.allow_bc;
  results["ratio"] = shown.ratio;
  results["specified_sag"] = shown.specified_sag;
  results["ratio_colour"] = shown.ratio_red ? "red" : "yellow";
  results["result_text"] = saved.results.result_text;
  json["results"] = std::move(results);
  try {
    return json.dump(2) + "\n";
  } catch (const Json::type_error&) {
    // A text that is not UTF-8: a file name in another encoding.
    return Failure(SavedProblem::kNotWritten, "",
                   "the photo's path or a typed text is not valid UTF-8");
  }
}

std::variant<SavedMeasurement, SavedFailure> CaptureMeasurement(const MeasurementSession& session,
                                                                const LoadSettings& load,
                                                                const std::string& file_path) {
  const auto& photo = session.Photo();
  if (!photo || !session.Line() || !session.Scanned() || session.ImgScale() == 0)
    return Failure(SavedProblem::kNothingToSave, file_path);
  if (session.ResultsStale())
    return Failure(SavedProblem::kStaleResults, file_path);

  SavedMeasurement saved;
  saved.sarn_version = SARN_VERSION;
  auto digest = FileSha256(session.PhotoPath());
  if (auto* error = std::get_if<FileError>(&digest)) {
    SavedFailure failure = Failure(SavedProblem::kPhotoUnreadable, session.PhotoPath());
    failure.file_error = *error;
    return failure;
  }
  saved.photo_sha256 = std::get<std::string>(digest);

  // Beside the file: the name alone, so that the two move together.
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path photo_path = fs::absolute(session.PhotoPath(), error).lexically_normal();
  const fs::path folder = fs::absolute(file_path, error).lexically_normal().parent_path();
  const bool beside =
      photo_path.parent_path() == folder || fs::equivalent(photo_path.parent_path(), folder, error);
  saved.photo = beside ? photo_path.filename().string() : photo_path.string();

  // Overview units -> working-image pixels (x ImgScale) -> photo pixels.
  const ScanLine line = *session.Line();
  const double scale = session.ImgScale();
  WorkingToPhoto(photo->plan, photo->photo_width, photo->photo_height, line.X1 * scale,
                 line.Y1 * scale, &saved.line[0], &saved.line[1]);
  WorkingToPhoto(photo->plan, photo->photo_width, photo->photo_height, line.X2 * scale,
                 line.Y2 * scale, &saved.line[2], &saved.line[3]);

  SavedInputs& in = saved.inputs;
  const WireRecord* wire = session.State().SelectedWire();
  in.conductor = wire ? TrimmedWireName(wire->Name) : std::string();
  in.conductor_index = session.State().WireIndex;
  in.span = session.SpanText();
  in.air_temp = session.AirTempText();
  in.distance = session.DistanceText();
  in.height = session.HeightText();
  in.design_temps = session.DesignTempTexts();
  in.threshold = session.ThresholdText();
  in.criterion = session.CriterionChoice();
  in.load = load;
  in.corrections = session.Corrections();
  in.classes = CombinationOf(session.WindClasses()).value_or(WindCombination::AB);
  in.ticks = session.Ticks();
  in.view_width = session.ViewWidth();
  saved.modes.precision = session.Precision();
  saved.results.shown = session.Shown();
  saved.results.result_text = session.ResultText();
  return saved;
}

std::optional<SavedFailure> WriteSavedMeasurement(const std::string& file_path,
                                                  const SavedMeasurement& saved) {
  auto text = SavedMeasurementText(saved);
  if (auto* failure = std::get_if<SavedFailure>(&text)) {
    failure->path = file_path;
    return *failure;
  }
  const std::string& content = std::get<std::string>(text);
  if (auto error = ReplaceFileAtomically(
          file_path, std::vector<uint8_t>(content.begin(), content.end()), true)) {
    SavedFailure failure = Failure(SavedProblem::kNotWritten, file_path, error->message);
    failure.file_error = *error;
    return failure;
  }
  return std::nullopt;
}

std::variant<OpeningPlan, SavedFailure> PlanOpening(const SavedMeasurement& saved,
                                                    const std::string& file_path,
                                                    const std::vector<WireRecord>& table) {
  OpeningPlan plan;
  const std::filesystem::path photo(saved.photo);
  plan.photo_path = photo.is_absolute()
                        ? saved.photo
                        : (std::filesystem::path(file_path).parent_path() / photo).string();
  auto digest = FileSha256(plan.photo_path);
  if (auto* error = std::get_if<FileError>(&digest)) {
    SavedFailure failure = Failure(SavedProblem::kPhotoUnreadable, plan.photo_path);
    failure.file_error = *error;
    return failure;
  }
  plan.photo_sha256 = std::get<std::string>(digest);
  plan.photo_matches = plan.photo_sha256 == saved.photo_sha256;

  // The conductor by its name: a data file edited since may list it elsewhere.
  const std::string& name = saved.inputs.conductor;
  const auto index = static_cast<size_t>(saved.inputs.conductor_index);
  if (index < table.size() && TrimmedWireName(table[index].Name) == name && !name.empty()) {
    plan.wire_index = saved.inputs.conductor_index;
    return plan;
  }
  for (size_t i = 0; i < table.size() && i <= 32767 && !name.empty(); ++i) {
    if (TrimmedWireName(table[i].Name) == name) {
      plan.wire_index = static_cast<int16_t>(i);
      return plan;
    }
  }
  return Failure(SavedProblem::kUnknownConductor, file_path, name);
}

void RestoreMeasurement(const SavedMeasurement& saved, int16_t wire_index,
                        MeasurementSession& session) {
  const SavedInputs& in = saved.inputs;
  // The stored distance and height keep their last value while their text
  // gives none; they start from the window's start-up values, as a fresh
  // window does, so that opening does not depend on what was typed before.
  const SavedInputs start;
  session.SetStartDistances(start.distance, start.height);
  session.SetWireIndex(wire_index);
  session.SetSpanText(in.span);
  session.SetAirTempText(in.air_temp);
  session.SetDistanceTexts(in.distance, in.height);
  for (int i = 0; i < 3; ++i)
    session.SetCorrection(i, in.corrections[static_cast<size_t>(i)]);
  for (int i = 0; i < 2; ++i)
    session.SetDesignTempText(i, in.design_temps[static_cast<size_t>(i)]);
  session.SetWindCombination(in.classes);
  session.SetThresholdText(in.threshold);
  session.SetCriterion(in.criterion);
  session.SetPrecision(saved.modes.precision);
  // The line scans and runs the chain, whose preselection ticks the
  // consistent estimates; the user's own ticks come last.
  session.SetPhotoLine(saved.line[0], saved.line[1], saved.line[2], saved.line[3]);
  for (int i = 0; i < 3; ++i)
    session.SetTick(i, in.ticks[static_cast<size_t>(i)]);
}

std::vector<ResultDifference> CompareResults(const SavedResults& saved,
                                             const MeasurementSession& session) {
  const ShownResults& now = session.Shown();
  const ShownResults& then = saved.shown;
  const std::string values_then[] = {then.present_sag,     then.estimates[0],
                                     then.estimates[1],    then.estimates[2],
                                     then.present_tension, then.allow_a,
                                     then.allow_bc,        then.ratio,
                                     then.specified_sag,   then.ratio_red ? "red" : "yellow",
                                     saved.result_text};
  const std::string values_now[] = {now.present_sag,     now.estimates[0],
                                    now.estimates[1],    now.estimates[2],
                                    now.present_tension, now.allow_a,
                                    now.allow_bc,        now.ratio,
                                    now.specified_sag,   now.ratio_red ? "red" : "yellow",
                                    session.ResultText()};
  std::vector<ResultDifference> differences;
  for (size_t i = 0; i < std::size(kResultNames); ++i) {
    if (values_then[i] != values_now[i])
      differences.push_back({kResultNames[i].key, values_then[i], values_now[i]});
  }
  return differences;
}

std::string ReproductionText(const SavedMeasurement& saved, const OpeningPlan& plan,
                             const std::vector<ResultDifference>& differences, Wording wording) {
  const bool window = wording == Wording::kWindow;
  std::string text;
  auto add = [&text](const std::string& line) { text += (text.empty() ? "" : "\n") + line; };
  if (!plan.photo_matches) {
    add(window ? "写真が保存時と異なります（SHA-256 が一致しません）: " + plan.photo_path
               : "the photo differs from the one saved (its SHA-256 does not match): " +
                     plan.photo_path);
  }
  if (saved.modes.lens != "off") {
    add(window ? "保存時のレンズ補正（" + saved.modes.lens +
                     "）はこの Sarn にないため、補正なしで測定しました"
               : "the saved lens correction (" + saved.modes.lens +
                     ") is not available in this Sarn; measured without it");
  }
  if (!differences.empty())
    add(window ? "保存時と結果が異なります:" : "the results differ from those saved:");
  for (const ResultDifference& d : differences) {
    const ResultName* name = nullptr;
    for (const ResultName& n : kResultNames)
      name = d.key == n.key ? &n : name;
    const std::string label = name ? (window ? name->japanese : name->english) : d.key;
    if (d.key == "result_text") {
      // Seven lines each: said, not shown.
      add(window ? "  " + label + " が異なります" : "  the " + label + " differs");
    } else if (d.key == "ratio_colour") {
      auto colour = [window](const std::string& c) {
        return window ? std::string(c == "red" ? "赤" : "黄") : c;
      };
      add(window ? "  " + label + ": 保存時 " + colour(d.saved) + "、今 " + colour(d.now)
                 : "  " + label + ": saved " + d.saved + ", now " + d.now);
    } else {
      add(window ? "  " + label + ": 保存時 " + ShownValue(d.saved, wording) + "、今 " +
                       ShownValue(d.now, wording)
                 : "  " + label + ": saved " + ShownValue(d.saved, wording) + ", now " +
                       ShownValue(d.now, wording));
    }
  }
  return text;
}

}  // namespace sarn
