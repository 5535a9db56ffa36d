#pragma once

// The options of `sarn measure`, shared by a single measurement and a batch.

#include <array>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "app/cli_options.h"
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
  LensChoice lens;         // lens distortion correction (off by default)
  bool chart = false;      // add the stringing chart to the JSON
  TemperatureRange range;  // of the chart
  std::string report;      // PDF to write (a folder with --batch)
  std::string annotated;   // PNG to write
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
};
PreparedSession PrepareSession(const std::string& photo, const MeasureOptions& options,
                               const WireData& data, const CliContext& context,
                               SessionEvents* events);

// Measures every photo,x1,y1,x2,y2 row of options.batch; one CSV row out per
// photo. The exit status.
int RunBatch(const MeasureOptions& options, const WireData& data, std::ostream& out,
             std::ostream& err, const CliContext& context);

}  // namespace sarn
