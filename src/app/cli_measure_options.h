#pragma once

// The options of `sarn measure`, shared by a single measurement and a batch.

#include <array>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "app/cli_options.h"
#include "session/session_json.h"
#include "tension/stringing_chart.h"

namespace sarn {

struct MeasureOptions {
  std::string photo;
  std::string batch;
  std::optional<std::array<double, 4>> line;  // photo pixels
  LoadSettings load;
  Criterion criterion = Criterion::ChangeValue;
  std::string threshold_text = "40";
  ConductorOptions conductor;
  std::string distance_text = "60";
  std::string height_text = "10";
  bool height_correction = false;
  // The width of the window's picture area the overview spans, pixels: the
  // window rounds the drawn line in overview units of that width.
  int view_width = 1004;
  bool json = false;
  bool precision = false;  // trace the whole conductor, sag from the fitted curve
  bool chart = false;      // add the stringing chart to the JSON
  TemperatureRange range;  // of the chart
  std::string report;      // PDF to write (a folder with --batch)
  std::string annotated;   // PNG to write
  std::string saved_from;  // a saved measurement (NAME.sarn.json) to measure again
  std::string save;        // where to save the measurement (NAME.sarn.json)
};

// Writes the report and the annotated picture a measurement asks for; false
// after a message on `err`.
bool WriteMeasurementFiles(const MeasurementSession& session, const std::string& report,
                           const std::string& annotated, const CliContext& context,
                           std::ostream& err);

// The session's warnings on standard error: hi.dat that could not be written
// is said once, however many photos are measured.
class CommandLineEvents : public SessionEvents {
 public:
  explicit CommandLineEvents(std::ostream& err) : err_(err) {}
  void HiDatNotWritten(const Failure& why) override;

 private:
  std::ostream& err_;
  bool warned_ = false;
};

// A session with the photo loaded and every input set, ready for the line;
// the photo's failure (message with its code) when it cannot be loaded.
struct PreparedSession {
  std::unique_ptr<MeasurementSession> session;
  std::string failure;
  LoadSettings settings;  // as the loading left them (a lowered limit)
};
PreparedSession PrepareSession(const std::string& photo, const MeasureOptions& options,
                               const WireData& data, const CliContext& context,
                               SessionEvents* events);

// Measures every photo,x1,y1,x2,y2 row of options.batch; one CSV row out per
// photo. A folder instead: every saved measurement in it (RunSavedBatch). The
// exit status.
int RunBatch(const MeasureOptions& options, const WireData& data, std::ostream& out,
             std::ostream& err, const CliContext& context);

// The results columns of a batch row (present_sag .. specified_sag), each
// preceded by a comma; empty cells without a session.
std::string BatchResultCells(const MeasurementSession* session);
// The result columns' header, after the first column's name.
inline constexpr const char* kBatchResultHeader =
    "present_sag,estimate_4_4,estimate_3_4,estimate_2_4,present_tension,governing_tension,ratio,"
    "specified_sag,error";

// A saved measurement opened headless: the session after the chain ran on
// its photo, line and inputs; or why it was refused (nothing measured).
struct SavedRun {
  std::unique_ptr<MeasurementSession> session;
  std::string refusal;       // the file, its photo or its conductor cannot be used
  std::string reproduction;  // what differs from the saved measurement ("" when nothing)
  Json saved_json;           // the "saved" key of the JSON output
};
SavedRun MeasureSaved(const std::string& file, const WireData& data, const CliContext& context,
                      SessionEvents* events);

// sarn measure --from FILE: the exit status (1 also when the measurement
// does not reproduce: another photo, or other results).
int RunSavedMeasurement(const MeasureOptions& options, const WireData& data, std::ostream& out,
                        std::ostream& err, const CliContext& context);
// sarn measure --batch FOLDER: one row per saved measurement in the folder.
int RunSavedBatch(const MeasureOptions& options, const WireData& data, std::ostream& out,
                  std::ostream& err, const CliContext& context);

// Writes the session's measurement to `path` as a saved measurement; false
// after a message on `err`.
bool SaveMeasurementFile(const MeasurementSession& session, const LoadSettings& settings,
                         const std::string& path, std::ostream& err);

}  // namespace sarn
