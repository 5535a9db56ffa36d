#pragma once

// One photo's measurement on the command line, as `sarn measure` and each row
// of a batch make it: the session with the photo loaded and every input set,
// the warnings it reports, and the files it writes.

#include <iosfwd>
#include <memory>
#include <string>

#include "app/cli.h"
#include "app/cli_measure_options.h"
#include "session/measurement_session.h"
#include "state/wire_table.h"

namespace sarn {

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

// Writes the report and the annotated picture a measurement asks for; false
// after a message on `err`.
bool WriteMeasurementFiles(const MeasurementSession& session, const std::string& report,
                           const std::string& annotated, const CliContext& context,
                           std::ostream& err);

}  // namespace sarn
