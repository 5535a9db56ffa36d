#pragma once

// The options of `sarn measure`, shared by a single measurement and a batch.

#include <array>
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
  LensChoice lens;         // lens distortion correction (off by default)
  bool chart = false;      // add the stringing chart to the JSON
  TemperatureRange range;  // of the chart
  std::string report;      // PDF to write (a folder with --batch)
  std::string annotated;   // PNG to write
  std::string saved_from;  // a saved measurement (NAME.sarn.json) to measure again
  std::string save;        // where to save the measurement (NAME.sarn.json)
};

}  // namespace sarn
