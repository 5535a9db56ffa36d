#include "session/session_report.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <variant>

#include "photo/exif_date.h"
#include "state/file_access.h"

namespace sarn {
namespace {

ReportSegment SegmentOf(const GuideSegment& s) {
  return ReportSegment{s.X1, s.Y1, s.X2, s.Y2};
}

std::string Fixed(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

ReportCamera ReportCameraOf(const MeasurementSession& session) {
  ReportCamera camera;
  const CameraExif& exif = session.PhotoCamera();
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
    if (exif.focal_mm > 0)
      camera.focal_mm = Fixed(exif.focal_mm, 1);
    camera.lens_note = found.why_not;
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
  ReportContent c;
  c.measured_at = measured_at;
  c.version = version;
  if (!session.PhotoPath().empty()) {
    c.photo_file_name = std::filesystem::path(session.PhotoPath()).filename().string();
    const Result<std::vector<uint8_t>> start = ReadFileStart(session.PhotoPath(), kExifSearchBytes);
    if (start)
      c.exif_captured = ExifCaptureDate(*start);
  }

  const WireRecord* wire = session.State().SelectedWire();
  ReportInputs& in = c.inputs;
  in.wire_name = wire ? TrimmedWireName(wire->Name) : std::string();
  in.span_m = session.SpanText();
  in.air_temp_c = session.AirTempText();
  in.approx_distance_m = session.DistanceText();
  in.approx_height_m = session.HeightText();
  in.width_correction = session.Corrections()[0] == 1;
  in.height_correction = session.Corrections()[1] == 1;
  in.span_correction = session.Corrections()[2] == 1;
  in.design_temp_a_c = session.DesignTempTexts()[0];
  in.design_temp_low_c = session.DesignTempTexts()[1];
  for (size_t i = 0; i < 3; ++i)
    in.classes[i] = session.WindClasses()[i] == 1;
  in.threshold = session.ThresholdText();
  in.criterion_darkness = session.CriterionChoice() == Criterion::Darkness;

  const ShownResults& shown = session.Shown();
  ReportResults& r = c.results;
  r.present_sag_m = shown.present_sag;
  for (size_t i = 0; i < 3; ++i)
    r.estimates[i] = {shown.estimates[i], session.Ticks()[i] == 1};
  r.present_tension_kgf = shown.present_tension;
  r.allow_a = shown.allow_a;
  r.allow_bc = shown.allow_bc;
  r.ratio_percent = shown.ratio;
  r.ratio_red = shown.ratio_red;
  r.specified_sag_m = shown.specified_sag;
  r.specified_sag_value = session.Tension().SpecifiedSag;
  r.failure = session.Tension().error;

  if (session.Scanned()) {
    const ScanGuides& guides = session.GuideLines();
    c.overlay.drawn_line = SegmentOf(guides.drawn_working);
    c.overlay.chord = SegmentOf(guides.chord_working);
    for (size_t i = 1; i + 1 < kStations; ++i)
      c.overlay.station_marks.push_back(SegmentOf(guides.marks_working[i]));
    c.middle_station = ReportPoint{guides.marks_working[4].X2, guides.marks_working[4].Y2};
    if (const auto& trace = session.Trace()) {
      for (const CurvePoint& p : trace->polyline)
        c.overlay.precision_curve.push_back({p.x, p.y});
    }
  }
  c.chart = session.Chart();
  c.camera = ReportCameraOf(session);
  return c;
}

}  // namespace sarn
