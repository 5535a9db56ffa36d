#pragma once

// Everything the one-page measurement report shows, as plain values: the
// texts exactly as the window shows them (so that the report, the labels and
// the command line's output agree digit for digit), the lines drawn over the
// photo in working-image pixels, and the stringing chart. Filled by the
// measurement session; drawn by the report writer.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tension/stringing_chart.h"

namespace sarn {

// A point and a segment in working-image pixels (x to the right, y down,
// origin at the working image's top-left corner).
struct ReportPoint {
  double x = 0, y = 0;
};
struct ReportSegment {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// What is drawn over the photo, in working-image pixels. The overview shows
// the same lines scaled to its size.
struct ReportOverlay {
  std::optional<ReportSegment> drawn_line;   // green: the line the user drew
  std::optional<ReportSegment> chord;        // red: the chord between stations 0 and 8
  std::vector<ReportSegment> station_marks;  // red: chord to conductor, stations 1 to 7
  std::vector<ReportPoint> precision_curve;  // the traced conductor; empty when not traced
};

// The inputs of the measurement, as typed or chosen in the window.
struct ReportInputs {
  std::string wire_name;          // Combo1, without its padding
  std::string span_m;             // Text2
  std::string air_temp_c;         // Text3
  std::string approx_distance_m;  // Text4(0)
  std::string approx_height_m;    // Text4(1)
  bool width_correction = false;  // Check6(0..2)
  bool height_correction = false;
  bool span_correction = false;
  std::string design_temp_a_c;      // Text6(0), class-A temperature
  std::string design_temp_low_c;    // Text6(1), low-temperature-season temperature
  std::array<bool, 3> classes{};    // Check1(0..2): 甲種, 乙種, 丙種 considered
  std::string threshold;            // Text1
  bool criterion_darkness = false;  // Option1(1) "黒さ"; otherwise "変化値"
};

// One tension estimate: Label4(3..5) and whether Check3(i) is ticked. The
// three are the chords 4/4, 3/4 and 2/4.
struct ReportEstimate {
  std::string tension_kgf;
  bool ticked = false;
};

// The results as the labels show them; an empty text is a value the
// evaluation did not reach.
struct ReportResults {
  std::string present_sag_m;                  // Label4(0)
  std::array<ReportEstimate, 3> estimates;    // Label4(3..5), Check3(0..2)
  std::string present_tension_kgf;            // Label4(2)
  std::string allow_a;                        // Label8(0), e.g. "甲=2234kGf"; empty when off
  std::string allow_bc;                       // Label8(1), e.g. "乙=1620kGf"
  std::string ratio_percent;                  // Label4(1)
  bool ratio_red = false;                     // Label4(1) on red (above 100), else yellow
  std::string specified_sag_m;                // Label4(6)
  std::optional<double> specified_sag_value;  // m, for the mark on the chart
  std::string failure;                        // why the evaluation stopped, if it did (Japanese)
};

// The camera and lens of the photo and how the measurement treated them.
struct ReportCamera {
  std::string camera;    // "DJI FC6310"; empty when the photo names none
  std::string lens;      // the lens as the database names it, or EXIF's
  std::string focal_mm;  // "8.8"; empty when unknown
  // Lens correction: whether it was applied, its model ("ptlens a=… b=… c="),
  // the change it makes (or, off, would make) to the 4/4 sag ("-7.4"), and,
  // when no profile was found, why (the catalogue's Japanese, kLens…).
  bool lens_corrected = false;
  std::string lens_model;
  std::string sag_change_percent;
  std::string lens_note;
  bool precision = false;          // precision tracing on
  std::string sag_uncertainty_mm;  // precision tracing's 4/4 sag uncertainty, mm
};

inline constexpr const char* kDefaultReportTitle = "架空電線 弛度・張力測定報告書";

struct ReportContent {
  std::string title = kDefaultReportTitle;
  std::string measured_at;                   // date and time of the measurement
  std::string photo_file_name;               // the photo's file name (no folder)
  std::optional<std::string> exif_captured;  // the photo's EXIF capture date, if any
  // How the photo was turned to be shown and measured upright: "6（右90°回転）"
  // (EXIF Orientation of a JPEG; HEIC/HEIF photos are turned by libheif and
  // say "1（そのまま）"); empty without a photo.
  std::string photo_orientation;
  ReportCamera camera;
  ReportInputs inputs;
  ReportResults results;
  ReportOverlay overlay;
  // The conductor at the middle station (station 4), working-image pixels:
  // the centre of the magnified crop. None: no crop.
  std::optional<ReportPoint> middle_station;
  // The stringing chart at the present tension, or why there is none.
  StringingChartResult chart = Failure(MessageId::kChartNoConductor);
  std::string version;  // Sarn's version
};

}  // namespace sarn
