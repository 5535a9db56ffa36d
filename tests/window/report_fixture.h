#pragma once

// A measurement for the report and chart tests and pictures: a rendered span
// photo as the working image, the overlay a scan of it gives, and the
// results of the worked-example conductor evaluated by the program itself.

#include "session/report_content.h"
#include "photo/raster.h"

namespace sarn::test {

struct SyntheticMeasurement {
  Raster working;
  ReportContent content;
};

// `width` x `height` working image; the same content every call.
SyntheticMeasurement MakeSyntheticMeasurement(int width = 1200, int height = 600);

}  // namespace sarn::test
