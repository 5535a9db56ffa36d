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
  // A label that was not reached is kept in the file as an empty text.
  const auto label = [](const std::string& text) {
    return text.empty() ? ShownText() : ShownText(text);
  };
  shown.present_sag = label(TextField(in, "present_sag", w));
  const std::array<std::string, 3> estimates = ArrayField<3>(in, "estimates", w, ReadText);
  for (size_t i = 0; i < 3; ++i)
    shown.estimates[i] = label(estimates[i]);
  shown.present_tension = label(TextField(in, "present_tension", w));
  shown.allow_a = label(TextField(in, "allowable_a", w));
  shown.allow_bc = label(TextField(in, "allowable_bc", w));
  shown.ratio = label(TextField(in, "ratio", w));
  shown.specified_sag = label(TextField(in, "specified_sag", w));
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
    if (!ParseLensChoice(saved.modes.lens))
      throw FieldError{"modes.lens"};
  }
  saved.results = ReadResults(root);
  return saved;
}

// The names of the shown results.
struct ResultName {
  const char* key;
  MessageId term;
};
constexpr ResultName kResultNames[] = {
    {"present_sag", MessageId::kTermPresentSag},
    {"estimates[0]", MessageId::kTermEstimate44},
    {"estimates[1]", MessageId::kTermEstimate34},
    {"estimates[2]", MessageId::kTermEstimate24},
    {"present_tension", MessageId::kTermPresentTension},
    {"allowable_a", MessageId::kTermAllowableA},
    {"allowable_bc", MessageId::kTermAllowableBC},
    {"ratio", MessageId::kTermRatio},
    {"specified_sag", MessageId::kTermSpecifiedSag},
    {"ratio_colour", MessageId::kTermRatioColour},
    {"result_text", MessageId::kTermResultText},
};

std::string ShownValue(const std::string& value, Language language) {
  return value.empty() ? Failure(MessageId::kSavedEmptyValue).Text(language) : value;
}

}  // namespace

Result<SavedMeasurement> ParseSavedMeasurement(std::string_view text, const std::string& path) {
  Json root;
  try {
    root = Json::parse(text.begin(), text.end());
  } catch (const Json::parse_error& error) {
    return Failure(MessageId::kSavedBrokenAt, {path, std::to_string(error.byte)});
  }
  const auto format = root.is_object() ? root.find("format") : root.end();
  if (!root.is_object() || format == root.end() || !format->is_string() ||
      format->get<std::string>() != kSavedFormatName)
    return Failure(MessageId::kSavedForeign, {path});
  try {
    const int64_t version = WholeField(root, "version", "", 1, INT64_MAX);
    if (version > kSavedFormatVersion) {
      return Failure(MessageId::kSavedNewerVersion,
                     {path, std::to_string(version), std::to_string(kSavedFormatVersion)});
    }
    return ReadFields(root, static_cast<int>(version));
  } catch (const FieldError& error) {
    return Failure(MessageId::kSavedBrokenField, {path, error.field});
  }
}

Result<SavedMeasurement> ReadSavedMeasurement(const std::string& path) {
  const Result<std::vector<uint8_t>> bytes = ReadWholeFile(path, kLargestSavedFileBytes);
  if (!bytes)
    return Failure(MessageId::kSavedUnreadable, {bytes.failure()});
  return ParseSavedMeasurement(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), path);
}

Result<std::string> SavedMeasurementText(const SavedMeasurement& saved, const std::string& path) {
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
  results["present_sag"] = LabelCaption(shown.present_sag);
  results["estimates"] =
      Json::array({LabelCaption(shown.estimates[0]), LabelCaption(shown.estimates[1]),
                   LabelCaption(shown.estimates[2])});
  results["present_tension"] = LabelCaption(shown.present_tension);
  results["allowable_a"] = LabelCaption(shown.allow_a);
  results["allowable_bc"] = LabelCaption(shown.allow_bc);
  results["ratio"] = LabelCaption(shown.ratio);
  results["specified_sag"] = LabelCaption(shown.specified_sag);
  results["ratio_colour"] = shown.ratio_red ? "red" : "yellow";
  results["result_text"] = saved.results.result_text;
  json["results"] = std::move(results);
  try {
    return json.dump(2) + "\n";
  } catch (const Json::type_error&) {
    // A text that is not UTF-8: a file name in another encoding.
    return Failure(MessageId::kSavedNotUtf8, {path});
  }
}

Result<SavedMeasurement> CaptureMeasurement(const MeasurementSession& session,
                                            const LoadSettings& load,
                                            const std::string& file_path) {
  const auto& photo = session.Photo();
  if (!photo || !session.Line() || !session.Scanned() || session.ImgScale() == 0)
    return Failure(MessageId::kSavedNothingToSave);
  if (session.ResultsStale())
    return Failure(MessageId::kSavedStaleResults);

  SavedMeasurement saved;
  saved.sarn_version = SARN_VERSION;
  const Result<std::string> digest = FileSha256(session.PhotoPath());
  if (!digest)
    return Failure(MessageId::kSavedPhotoUnreadable, {digest.failure()});
  saved.photo_sha256 = *digest;

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
  saved.modes.lens = LensChoiceText(session.Lens());
  saved.results.shown = session.Shown();
  saved.results.result_text = session.ResultText();
  return saved;
}

Result<void> WriteSavedMeasurement(const std::string& file_path, const SavedMeasurement& saved) {
  const Result<std::string> text = SavedMeasurementText(saved, file_path);
  if (!text)
    return text.failure();
  Result<void> written = ReplaceFileWithBytes(file_path, *text);
  if (!written)
    return Failure(MessageId::kSavedNotWritten, {written.failure()});
  return Ok();
}

Result<OpeningPlan> PlanOpening(const SavedMeasurement& saved, const std::string& file_path,
                                const std::vector<WireRecord>& table) {
  OpeningPlan plan;
  const std::filesystem::path photo(saved.photo);
  plan.photo_path = photo.is_absolute()
                        ? saved.photo
                        : (std::filesystem::path(file_path).parent_path() / photo).string();
  const Result<std::string> digest = FileSha256(plan.photo_path);
  if (!digest)
    return Failure(MessageId::kSavedPhotoUnreadable, {digest.failure()});
  plan.photo_sha256 = *digest;
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
  return Failure(MessageId::kSavedUnknownConductor, {file_path, name});
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
  session.SetLens(ParseLensChoice(saved.modes.lens).value_or(LensChoice{}));
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
  // The compared values in kResultNames' order, as the labels show them.
  const auto values = [](const ShownResults& shown, const std::string& result_text) {
    return std::array<std::string, 11>{LabelCaption(shown.present_sag),
                                       LabelCaption(shown.estimates[0]),
                                       LabelCaption(shown.estimates[1]),
                                       LabelCaption(shown.estimates[2]),
                                       LabelCaption(shown.present_tension),
                                       LabelCaption(shown.allow_a),
                                       LabelCaption(shown.allow_bc),
                                       LabelCaption(shown.ratio),
                                       LabelCaption(shown.specified_sag),
                                       shown.ratio_red ? "red" : "yellow",
                                       result_text};
  };
  const std::array<std::string, 11> values_then = values(then, saved.result_text);
  const std::array<std::string, 11> values_now = values(now, session.ResultText());
  std::vector<ResultDifference> differences;
  static_assert(std::size(kResultNames) == 11);
  for (size_t i = 0; i < std::size(kResultNames); ++i) {
    if (values_then[i] != values_now[i])
      differences.push_back({kResultNames[i].key, values_then[i], values_now[i]});
  }
  return differences;
}

std::string ReproductionText(const SavedMeasurement& saved, const OpeningPlan& plan,
                             const std::optional<Failure>& lens_not_applied,
                             const std::vector<ResultDifference>& differences, Language language) {
  std::string text;
  auto add = [&text, language](MessageId id, std::vector<Failure::Argument> arguments = {}) {
    text += (text.empty() ? "" : "\n") + Failure(id, std::move(arguments)).Text(language);
  };
  if (!plan.photo_matches)
    add(MessageId::kSavedPhotoDiffers, {plan.photo_path});
  if (lens_not_applied)
    add(MessageId::kSavedLensUnavailable, {saved.modes.lens, *lens_not_applied});
  if (!differences.empty())
    add(MessageId::kSavedResultsDiffer);
  for (const ResultDifference& d : differences) {
    MessageId term = MessageId::kTermResultText;
    for (const ResultName& name : kResultNames)
      term = d.key == name.key ? name.term : term;
    if (d.key == "result_text") {
      // Seven lines each: said, not shown.
      add(MessageId::kSavedResultTextDiffers, {Failure(term)});
    } else if (d.key == "ratio_colour") {
      auto colour = [](const std::string& c) {
        return Failure(c == "red" ? MessageId::kTermRed : MessageId::kTermYellow);
      };
      add(MessageId::kSavedResultDiffers, {Failure(term), colour(d.saved), colour(d.now)});
    } else {
      add(MessageId::kSavedResultDiffers,
          {Failure(term), ShownValue(d.saved, language), ShownValue(d.now, language)});
    }
  }
  return text;
}

}  // namespace sarn
