#include "session/session_report.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <variant>

#include "photo/photo_exif.h"

namespace sarn {
namespace {

ReportSegment SegmentOf(const GuideSegment& segment) {
  return ReportSegment{segment.X1, segment.Y1, segment.X2, segment.Y2};
}

std::string Fixed(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

ReportCamera ReportCameraOf(const MeasurementSession& session) {
  ReportCamera camera;
  const PhotoExif& exif = session.PhotoCamera();
  const LensLookup& found = session.LensFound();
  if (const auto& p = found.profile) {
    camera.camera = p->CameraName();
    camera.lens = p->LensName();
    camera.focal_mm = Fixed(p->focal_mm, 1);
    std::string model = p->model;
    static constexpr const char* kNames[] = {"a", "b", "c"};
    for (size_t i = 0; i < p->terms.size(); ++i) {
      const char* name = p->model == "ptlens" ? kNames[i] : (i == 0 ? "k1" : "k2");
      model += std::string(" ") + name + "=" + Fixed(p->terms[i], 5);
    }
    camera.lens_model = model;
  } else {
    camera.camera = exif.make.empty() ? exif.model : exif.make + " " + exif.model;
    camera.lens = exif.lens_model;
    if (exif.focal_length_mm)
      camera.focal_mm = Fixed(*exif.focal_length_mm, 1);
    if (found.why_not)
      camera.lens_note = found.why_not->Japanese();
  }
  camera.lens_corrected = session.LensApplied();
  if (const std::optional<double> change = session.LensSagChange())
    camera.sag_change_percent = (*change >= 0 ? "+" : "") + Fixed(*change, 1);
  camera.precision = session.Precision();
  if (const auto& trace = session.Trace(); trace && session.Precision() && trace->credible)
    camera.sag_uncertainty_mm =
        Fixed(trace->sag_uncertainty_px * session.SagResolution() * 1000.0, 1);
  return camera;
}

}  // namespace

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

ReportContent BuildReportContent(const MeasurementSession& session, const std::string& measured_at,
                                 const std::string& version) {
  ReportContent content;
  content.measured_at = measured_at;
  content.version = version;
  if (!session.PhotoPath().empty()) {
    content.photo_file_name = std::filesystem::path(session.PhotoPath()).filename().string();
    if (const std::optional<PhotoExif> exif = ReadPhotoExif(session.PhotoPath())) {
      content.exif_captured = exif->capture_date;
      content.photo_orientation = OrientationText(exif->orientation);
    }
  }

  const WireRecord* wire = session.State().SelectedWire();
  ReportInputs& inputs = content.inputs;
  inputs.wire_name = wire ? TrimmedWireName(wire->Name) : std::string();
  inputs.span_m = session.SpanText();
  inputs.air_temp_c = session.AirTempText();
  inputs.approx_distance_m = session.DistanceText();
  inputs.approx_height_m = session.HeightText();
  inputs.width_correction = session.Corrections()[0] == 1;
  inputs.height_correction = session.Corrections()[1] == 1;
  inputs.span_correction = session.Corrections()[2] == 1;
  inputs.design_temp_a_c = session.DesignTempTexts()[0];
  inputs.design_temp_low_c = session.DesignTempTexts()[1];
  for (size_t i = 0; i < 3; ++i)
    inputs.classes[i] = session.WindClasses()[i] == 1;
  inputs.threshold = session.ThresholdText();
  inputs.criterion_darkness = session.CriterionChoice() == Criterion::Darkness;

  const ShownResults& shown = session.Shown();
  ReportResults& results = content.results;
  results.present_sag_m = LabelCaption(shown.present_sag);
  for (size_t i = 0; i < 3; ++i)
    results.estimates[i] = {LabelCaption(shown.estimates[i]), session.Ticks()[i] == 1};
  results.present_tension_kgf = LabelCaption(shown.present_tension);
  results.allow_a = LabelCaption(shown.allow_a);
  results.allow_bc = LabelCaption(shown.allow_bc);
  results.ratio_percent = LabelCaption(shown.ratio);
  results.ratio_red = shown.ratio_red;
  results.specified_sag_m = LabelCaption(shown.specified_sag);
  results.specified_sag_value = session.Tension().SpecifiedSag;
  results.failure = session.Tension().ok() ? std::string() : session.Tension().failure->Japanese();

  if (session.Scanned()) {
    const ScanGuides& guides = session.GuideLines();
    content.overlay.drawn_line = SegmentOf(guides.drawn_working);
    content.overlay.chord = SegmentOf(guides.chord_working);
    for (size_t i = 1; i + 1 < kStations; ++i)
      content.overlay.station_marks.push_back(SegmentOf(guides.marks_working[i]));
    content.middle_station = ReportPoint{guides.marks_working[4].X2, guides.marks_working[4].Y2};
    if (const auto& trace = session.Trace()) {
      for (const CurvePoint& p : trace->polyline)
        content.overlay.precision_curve.push_back({p.x, p.y});
    }
  }
  content.chart = session.Chart();
  content.camera = ReportCameraOf(session);
  return content;
}

}  // namespace sarn
