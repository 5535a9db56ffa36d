#include "window/report_fixture.h"

#include "output/number_format.h"
#include "support/span_photo.h"
#include "tension/tension_evaluation.h"
#include "tension/worked_example.h"

namespace sarn::test {

SyntheticMeasurement MakeSyntheticMeasurement(int width, int height) {
  const SpanScene scene = ScaledScene(SpanScene{}, width, height);
  const RgbImage rgb = RenderSpanPhoto(scene);
  SyntheticMeasurement m;
  m.working = MakeRaster(rgb.width, rgb.height);
  for (int y = 0; y < rgb.height; ++y) {
    for (int x = 0; x < rgb.width; ++x) {
      const uint8_t* p = rgb.At(x, y);
      m.working.pixels[static_cast<size_t>(y) * rgb.width + x] =
          0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    }
  }

  // The line drawn a little above the conductor, the chord through the
  // conductor's top edge at its ends and the marks of stations 1 to 7.
  ReportContent& c = m.content;
  const double x1 = scene.left_x + 10, x2 = scene.right_x - 10;
  const double y1 = ConductorTopRow(scene, x1), y2 = ConductorTopRow(scene, x2);
  const double above = 0.02 * height;
  c.overlay.drawn_line = ReportSegment{x1, y1 - above, x2, y2 - above};
  c.overlay.chord = ReportSegment{x1, y1, x2, y2};
  for (int i = 1; i < 8; ++i) {
    const double x = x1 + (x2 - x1) * i / 8;
    c.overlay.station_marks.push_back({x, y1 + (y2 - y1) * i / 8, x, ConductorTopRow(scene, x)});
  }
  c.middle_station = ReportPoint{c.overlay.station_marks[3].x2, c.overlay.station_marks[3].y2};

  MeasurementState state = testing::WorkedExampleState();
  state.WireTable[0].Name = "鋼心アルミより線 160";
  TensionInputs tension;
  tension.TensionEst = {1498.2f, 1503.9f, 1710.4f};
  tension.Check3 = {1, 1, 0};
  const TensionOutcome outcome = EvaluateTension(state, tension);

  c.measured_at = "2026-12-07 14:05";
  c.photo_file_name = "span_0042.jpg";
  c.exif_captured = "2024-05-01 10:20:30";
  c.inputs = {"鋼心アルミより線 160", "40", "20", "60", "10", false, false, false, "15", "-5",
              {true, true, false},    "40", false};
  c.results.present_sag_m = "0.093";
  for (size_t i = 0; i < 3; ++i)
    c.results.estimates[i] = {FormatFixed(tension.TensionEst[i], 1), tension.Check3[i] == 1};
  c.results.present_tension_kgf = outcome.shown.present_tension;
  c.results.allow_a = outcome.shown.allow_a.value_or("");
  c.results.allow_bc = outcome.shown.allow_bc.value_or("");
  c.results.ratio_percent = outcome.shown.ratio.value_or("");
  c.results.ratio_red = outcome.shown.ratio_red;
  c.results.specified_sag_m = outcome.shown.specified_sag.value_or("");
  c.results.specified_sag_value = outcome.SpecifiedSag;
  c.results.failure = outcome.ok() ? std::string() : outcome.failure->Japanese();
  c.chart = ComputeStringingChart(state, outcome.PresentTension);
  c.version = "0.1.0";
  return m;
}

}  // namespace sarn::test
