#pragma once

// `sarn measure --batch`: one measurement per photo,x1,y1,x2,y2 row of a CSV.

#include <iosfwd>

#include "app/cli.h"
#include "app/cli_measure_options.h"
#include "state/wire_table.h"

namespace sarn {

// Measures every photo,x1,y1,x2,y2 row of options.batch; one CSV row out per
// photo. The exit status.
int RunBatch(const MeasureOptions& options, const WireData& data, std::ostream& out,
             std::ostream& err, const CliContext& context);

}  // namespace sarn
