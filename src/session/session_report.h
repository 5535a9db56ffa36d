#pragma once

// What the measurement report shows, taken from a session: every input as
// typed, every result as the labels show it, the overlay of the drawn line,
// the chord, the station marks and the traced curve, and the stringing chart
// at the present tension.

#include <string>

#include "session/report_content.h"
#include "session/measurement_session.h"

namespace sarn {

// `measured_at`: the date and time to print; `version`: Sarn's version.
ReportContent BuildReportContent(const MeasurementSession& session, const std::string& measured_at,
                                 const std::string& version);

// The local date and time now, "YYYY-MM-DD HH:MM".
std::string LocalTimeText();

}  // namespace sarn
