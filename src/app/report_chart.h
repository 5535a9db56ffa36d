#pragma once

// The report page's stringing chart: the plot (temperature across, tension on
// the left axis, sag on the right, the present point and the specified sag
// marked) and the table beside it.

#include "app/report_page.h"
#include "session/report_content.h"

namespace sarn {

// The chart section from `y` down, or why there is no chart; returns the y
// below it.
double DrawChart(Page& page, const ReportContent& content, double y);

}  // namespace sarn
