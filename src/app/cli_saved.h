#pragma once

// Saved measurements (NAME.sarn.json) on the command line: `sarn measure
// --from FILE`, `--batch FOLDER` and `--save FILE`.

#include <iosfwd>
#include <memory>
#include <string>

#include "app/cli.h"
#include "app/cli_measure_options.h"
#include "session/measurement_session.h"
#include "session/session_json.h"
#include "state/wire_table.h"

namespace sarn {

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
