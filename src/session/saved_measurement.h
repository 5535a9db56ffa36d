#pragma once

// A measurement kept in a file, NAME.sarn.json, so that an engineer can show
// later how each number was obtained: the photo (its path and the SHA-256 of
// its bytes), the line in photo pixels, every input of the panel, the modes,
// the results as they were shown, and the version of Sarn that saved it.
//
// The file is a small JSON object, versioned by "format" and "version":
//   {"format": "sarn-measurement", "version": 1, "sarn_version": "0.1.0",
//    "photo": {"path": "span.jpg", "sha256": "9f86…"},
//    "line": [X1, Y1, X2, Y2], "view_width": 1004,
//    "inputs": {...}, "modes": {"precision": false, "lens": "off"},
//    "results": {...}}
// The photo's path is relative to the file's folder when the photo lies
// beside the file, else absolute. A file that is not JSON, not this format,
// or of a later version is refused before anything changes.
//
// Opening it runs the chain again on the photo (RestoreMeasurement) and
// compares what the session then shows with the saved results
// (CompareResults): a photo whose digest differs, or a result that differs,
// is said, never shown silently.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "photo/photo_loader.h"
#include "session/measurement_session.h"
#include "state/failure.h"
#include "tension/wind_classes.h"
#include "tracing/scan.h"

namespace sarn {

inline constexpr const char* kSavedFormatName = "sarn-measurement";
// Raised when a field changes meaning or a required one is added; a reader
// refuses a file of a later version rather than misread it.
inline constexpr int kSavedFormatVersion = 1;
inline constexpr const char* kSavedFileSuffix = ".sarn.json";
// A saved measurement is about 2 kB; a larger file is not one.
inline constexpr size_t kLargestSavedFileBytes = size_t{1} << 20;

// The panel's inputs, texts exactly as typed.
struct SavedInputs {
  std::string conductor;                                // Combo1's entry, trailing padding removed
  int16_t conductor_index = 0;                          // its list index when saved
  std::string span = "40";                              // Text2, m
  std::string air_temp = "20";                          // Text3, degC
  std::string distance = "60";                          // Text4(0), m
  std::string height = "10";                            // Text4(1), m
  std::array<std::string, 2> design_temps{"20", "20"};  // Text6(0), Text6(1), degC
  std::string threshold = "40";                         // Text1
  Criterion criterion = Criterion::ChangeValue;         // Option1: 変化値 / 黒さ
  LoadSettings load;  // 横最大 (Text5), 上下を削除 (Check4), 自動調節 (Check5)
  std::array<int, 3> corrections{};               // Check6: width, height, span (0/1)
  WindCombination classes = WindCombination::AB;  // Check1
  std::array<int, 3> ticks{};                     // Check3 4/4, 3/4, 2/4 (0/1) as left by the user
  // The width in pixels of the picture area the overview spanned: the window
  // rounds a drawn line in overview units of that width.
  int view_width = 1004;
};

struct SavedModes {
  bool precision = false;  // 精密追跡
  // Lens correction as --lens takes it (LensChoiceText): "off", "auto", or
  // "MAKER|MODEL|LENS|FOCAL_MM"; a file without it measures as "off".
  std::string lens = "off";
};

struct SavedResults {
  ShownResults shown;       // the result labels' texts and the ratio's colour
  std::string result_text;  // the seven-line text copied to the clipboard
};

struct SavedMeasurement {
  int version = kSavedFormatVersion;
  std::string sarn_version;
  std::string photo;             // as written: relative to the file's folder, or absolute
  std::string photo_sha256;      // 64 lower-case hexadecimal digits
  std::array<double, 4> line{};  // X1, Y1, X2, Y2 in photo pixels
  SavedInputs inputs;
  SavedModes modes;
  SavedResults results;
};

// Every failure below is a Failure of the message catalogue (kSaved…);
// nothing has changed when one is given.

// The file's text (JSON, two-space indents, ending in a line feed) -> the
// measurement, or kSavedBrokenAt / kSavedBrokenField / kSavedForeign /
// kSavedNewerVersion. `path` names the file in a failure.
Result<SavedMeasurement> ParseSavedMeasurement(std::string_view text, const std::string& path);
Result<SavedMeasurement> ReadSavedMeasurement(const std::string& path);
// The file's text; kSavedNotUtf8 when a text (a path) is not valid UTF-8.
Result<std::string> SavedMeasurementText(const SavedMeasurement& saved, const std::string& path);

// The measurement the session shows, to be saved as `file_path`: the photo
// path relative to it when the photo lies in the same folder, the photo's
// digest, the line converted back to photo pixels. `load`: the settings the
// photo was loaded at, as the panel shows them. kSavedNothingToSave without
// a photo and a scanned line; kSavedStaleResults while the shown results
// belong to an earlier scan.
Result<SavedMeasurement> CaptureMeasurement(const MeasurementSession& session,
                                            const LoadSettings& load, const std::string& file_path);
// Writes `saved` to `file_path` atomically (a reader sees the old file or
// the whole new one).
Result<void> WriteSavedMeasurement(const std::string& file_path, const SavedMeasurement& saved);

// What opening needs before anything changes: the photo's path (a relative
// one taken from the file's folder), whether its bytes are the saved ones,
// and the conductor's list index in `table` (by name; the saved index when
// that entry has the name).
struct OpeningPlan {
  std::string photo_path;
  std::string photo_sha256;  // of the photo as it is now
  bool photo_matches = true;
  int16_t wire_index = 0;
};
Result<OpeningPlan> PlanOpening(const SavedMeasurement& saved, const std::string& file_path,
                                const std::vector<WireRecord>& table);

// Sets every input of `saved`, then the line, then the saved ticks, on a
// session whose conductor table is set and whose photo is loaded (at
// saved.inputs.load): the chain runs as for a drawn line.
void RestoreMeasurement(const SavedMeasurement& saved, int16_t wire_index,
                        MeasurementSession& session);

// A shown value that differs from the saved one.
struct ResultDifference {
  std::string key;  // "present_sag", "estimates[0]", ..., "result_text"
  std::string saved, now;
};
std::vector<ResultDifference> CompareResults(const SavedResults& saved,
                                             const MeasurementSession& session);

// What opening has to say: the photo that differs, a saved lens correction
// that cannot be applied now (`lens_not_applied`: the session's
// LensNotApplied()), the results that differ (each named, with both values);
// "" when the measurement reproduced.
std::string ReproductionText(const SavedMeasurement& saved, const OpeningPlan& plan,
                             const std::optional<Failure>& lens_not_applied,
                             const std::vector<ResultDifference>& differences, Language language);

}  // namespace sarn
