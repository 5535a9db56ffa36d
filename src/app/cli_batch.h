#pragma once

// `sarn measure --batch`: one measurement per photo,x1,y1,x2,y2 row of a CSV.

#include <iosfwd>
#include <string>

#include "app/cli.h"
#include "app/cli_measure_options.h"
#include "session/measurement_session.h"
#include "state/wire_table.h"

namespace sarn {

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

}  // namespace sarn
