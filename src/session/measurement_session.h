#pragma once

// One measurement, from the photo to the result text: the shared state of the
// measurement, the photo, the drawn line and every value the chain computes.
// The window and every command are faces of it: they hand it the user's
// inputs and show what it reports, so they cannot disagree.
//
// The chain is scan -> sag -> preselection -> evaluation -> result copy. Each
// input runs the first step that uses it and everything after it:
//   line released, threshold, criterion         -> Scan
//   span, air temperature, conductor, distance,
//   height, corrections                         -> SarnKeisan (the sag)
//   estimate ticks, design temperatures, classes -> EvalTension
// Evaluation after evaluation ends, when it succeeds, in a result copy.
//
// The faces own their controls. A value the session changes by itself (an
// estimate box ticked by the preselection, a wind-load class box set by the
// class rules) is reported through SessionEvents at the moment it changes, so
// a window can set its box then; a box's handler that hands the same value
// back changes nothing.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "photo/lens_correction.h"
#include "photo/photo_loader.h"
#include "sag/sag_computation.h"
#include "session/session_events.h"
#include "state/measurement_state.h"
#include "state/wire_table.h"
#include "tension/stringing_chart.h"
#include "tension/tension_evaluation.h"
#include "tension/wind_classes.h"
#include "tracing/guide_lines.h"
#include "tracing/precision_trace.h"
#include "tracing/scan.h"

namespace sarn {

// Every input a command gives, handed over at once (SetInputs) before the
// one call that runs the chain (a line, the estimates, a chart). Texts are
// read as the window reads its boxes.
struct SessionInputs {
  int16_t wire = 0;
  std::string span_text = "40";
  std::string air_temp_text = "20";
  // The design temperature texts; none keeps those of the conductor data.
  std::optional<std::array<std::string, 2>> design_temp_texts;
  WindCombination classes = WindCombination::AB;
  std::string distance_text = "60";
  std::string height_text = "10";
  std::array<int, 3> corrections{};  // width, height, span correction boxes
  std::string threshold_text = "40";
  Criterion criterion = Criterion::ChangeValue;
  bool precision = false;
  LensChoice lens;  // lens correction, off by default
};

class MeasurementSession {
 public:
  // `hi_dat_folder`: where every scan writes hi.dat ("" writes none).
  explicit MeasurementSession(std::string hi_dat_folder = "");

  void SetEvents(SessionEvents* events) { events_ = events ? events : &no_events_; }

  // --- start-up -------------------------------------------------------------
  // The conductor table and design temperatures of SetDT.dat, and the span
  // and air temperature texts as the window starts; runs nothing.
  void SetWireData(const WireData& wires, const std::string& span_text,
                   const std::string& air_temp_text);
  // The distance and height as the window starts (whole numbers only);
  // runs nothing.
  void SetStartDistances(const std::string& distance, const std::string& height);
  // Every input of a command at once, with the conductor table: stores them
  // as the Set… calls below would and runs nothing, so that the command's
  // next call (SetPhotoLine, SetEstimates, ChartAt) runs the chain once.
  void SetInputs(const WireData& wires, const SessionInputs& inputs);

  // --- photo ----------------------------------------------------------------
  // Loads `path` at `settings` for an overview `view_width` pixels wide. On
  // success the drawn line and the guide lines are gone; the chain is not
  // run. On failure everything stays as it was. `build_overview` false: the
  // overview is planned but its raster not made (a run that only scans).
  PhotoLoadResult LoadPhoto(const std::string& path, const LoadSettings& settings, int view_width,
                            LoadQuestions& questions, const FallbackDecoder& fallback = {},
                            bool build_overview = true);
  // A photo already loaded (a benchmark's, held in memory) taken as LoadPhoto
  // takes a loaded one: the line and the guide lines go, nothing runs. The
  // photo it replaces is handed back.
  std::optional<LoadedPhoto> SetPhoto(LoadedPhoto photo, const std::string& path, int view_width);
  const std::optional<LoadedPhoto>& Photo() const { return photo_; }
  const std::string& PhotoPath() const { return photo_path_; }
  float ImgScale() const { return img_scale_; }
  // The width in pixels the overview of the photo was made to span.
  int ViewWidth() const { return view_width_; }

  // --- the line -------------------------------------------------------------
  // The line while it is dragged and shown (overview units): a threshold
  // typed from now on scans along it.
  void TrackLine(const ScanLine& line);
  // The released line: scans along it and runs the chain.
  void SetLine(const ScanLine& line);
  // A line in the photo's own pixels (command line), converted as the
  // window's pointer would give it in overview units.
  void SetPhotoLine(double x1, double y1, double x2, double y2);
  const std::optional<ScanLine>& Line() const { return line_; }
  bool Scanned() const { return scanned_; }
  // True while a due scan could not run (threshold not a number).
  bool ResultsStale() const { return stale_; }

  // --- inputs, each re-running the chain from the step that uses it ---------
  void SetThresholdText(const std::string& text);
  void SetCriterion(Criterion criterion);
  void SetSpanText(const std::string& text);
  void SetAirTempText(const std::string& text);
  void SetWireIndex(int16_t index);
  // Distance (Text4(0)) and height (Text4(1)) texts.
  void SetDistanceTexts(const std::string& distance, const std::string& height);
  void SetCorrection(int index, int value);  // 0 width, 1 height, 2 span; 0/1
  void SetDesignTempText(int index, const std::string& text);
  // The user set estimate box `index` to `value`.
  void SetTick(int index, int value);
  // The user set wind-load class box `index` to `value`; the class rules
  // follow, each box they change re-evaluating at once.
  void SetWindClass(int index, int value);
  // Precision tracing on or off: with it on, every scan also follows the
  // conductor across every column and the sag is taken from the fitted
  // curve's rows at the stations; a scan already made is traced at once.
  void SetPrecision(bool on);
  bool Precision() const { return precision_; }
  // Lens correction: off (the default), from the photo's EXIF, or a camera
  // and lens chosen by the user. With it on, the conductor points and the
  // chord's ends are mapped to undistorted coordinates before the sag is
  // formed (CorrectedPoints); a scan already made is recomputed at once.
  void SetLens(const LensChoice& choice);
  const LensChoice& Lens() const { return lens_choice_; }
  // The photo's camera and lens fields, and the profile found for the
  // present choice (with correction off, the one the EXIF names, so that
  // the change correction would make can be said) or why there is none.
  const PhotoExif& PhotoCamera() const { return camera_exif_; }
  const LensLookup& LensFound() const { return lens_lookup_; }
  // Whether the sag shown is lens-corrected.
  bool LensApplied() const;
  // The change lens correction makes to the 4/4 sag, percent
  // (corrected / uncorrected - 1), once a sag exists and a profile is known.
  std::optional<double> LensSagChange() const { return lens_sag_change_; }
  // With correction off: the change correction would make, when the photo's
  // camera and lens are in the database and it exceeds 1 %.
  std::optional<double> LensCorrectionAdvised() const;
  // What is to be said about the lens beside the result: the advice above
  // (kLensAdvised), or with correction on, why it could not be applied
  // (kLensNotApplied); none otherwise.
  std::optional<Failure> LensWarning() const;
  // With correction on and a photo loaded, why it is not applied; none when
  // it is, or when correction is off.
  std::optional<Failure> LensNotApplied() const;
  // A whole combination at once (command line): one evaluation.
  void SetWindCombination(WindCombination combination);
  // The estimates as given (command line `evaluate`), then one evaluation.
  void SetEstimates(const std::array<float, 3>& estimates, const std::array<int, 3>& ticks);

  // --- steps ----------------------------------------------------------------
  void Scan();
  void SarnKeisan();
  void EvalTension();
  void CopyResults();

  // --- what the session holds ----------------------------------------------
  const MeasurementState& State() const { return state_; }
  const std::string& ThresholdText() const { return threshold_text_; }
  Criterion CriterionChoice() const { return criterion_; }
  const std::string& SpanText() const { return span_text_; }
  const std::string& DistanceText() const { return distance_text_; }
  const std::array<int, 3>& Corrections() const { return corrections_; }
  const std::array<int, 3>& Ticks() const { return ticks_; }
  const std::array<int, 3>& WindClasses() const { return wind_classes_; }

  const ScanResult& LastScan() const { return scan_; }
  const std::array<int16_t, kStations>& WireY() const { return scan_.WireY; }
  const std::array<int32_t, kStations>& ScanTop() const { return scan_.ScanTop; }
  const ScanGuides& GuideLines() const { return guides_; }
  const SagOutcome& Sag() const { return sag_; }
  const std::array<float, 4>& TensionEst() const { return tension_est_; }
  float PresentTension() const { return present_tension_; }
  const TensionOutcome& Tension() const { return tension_; }
  const ShownResults& Shown() const { return shown_; }
  // The seven-line result text of the labels as they stand.
  std::string ResultText() const;
  // Where the last scan wrote hi.dat, or "" when it did not.
  const std::string& HiDatPath() const { return hi_dat_path_; }
  // Evaluations run since the session began (the nesting's count).
  int EvaluationCount() const { return evaluations_; }
  // The precision trace of the last scan (precision on), or none.
  const std::optional<PrecisionTrace>& Trace() const { return trace_; }
  // Why the last scan gives no result (none when it does).
  const std::optional<Failure>& MeasurementFailure() const { return measurement_failure_; }
  // Metres of sag one working-image row is worth on the present chord; 0
  // before a scan with a horizontal extent.
  double SagResolution() const;
  // Warnings a careful user should read beside the result: an incomplete
  // photo; in the default mode, a station more than 3 pixels off the curve
  // that precision tracing finds (traced for the check on the first call
  // after a scan, and kept until the next).
  const std::vector<std::string>& Warnings() const;
  // The stringing chart at the present tension over `range`.
  StringingChartResult Chart(const TemperatureRange& range = {}) const;
  // The stringing chart of the conductor and span at a given present
  // tension (kgf) over `range`.
  StringingChartResult ChartAt(double present_tension_kgf,
                               const TemperatureRange& range = {}) const;
  // Texts as typed, for the report.
  const std::string& AirTempText() const { return air_temp_text_; }
  const std::string& HeightText() const { return height_text_; }
  const std::array<std::string, 2>& DesignTempTexts() const { return design_temp_texts_; }

 private:
  void RaiseWindClass(int index);
  PrecisionTrace TraceNow() const;
  void ClearResults();
  // The Set… calls' storing, without running anything.
  void StoreSpanText(const std::string& text);
  void StoreAirTempText(const std::string& text);
  void StoreDistanceTexts(const std::string& distance, const std::string& height);
  void StoreDesignTempText(int index, const std::string& text);
  bool StoreWindCombination(WindCombination combination);
  void ResolveLens();
  std::optional<CorrectedPoints> CorrectedStations() const;

  SessionEvents no_events_;
  SessionEvents* events_ = &no_events_;
  std::string hi_dat_folder_;
  bool hi_dat_failure_reported_ = false;
  std::string hi_dat_path_;

  MeasurementState state_;
  std::string span_text_ = "40";
  std::string distance_text_ = "60";
  std::string threshold_text_ = "40";
  std::string air_temp_text_ = "20";
  std::string height_text_ = "10";
  std::array<std::string, 2> design_temp_texts_;
  bool precision_ = false;
  std::optional<PrecisionTrace> trace_;
  std::optional<Failure> measurement_failure_;
  Criterion criterion_ = Criterion::ChangeValue;
  std::array<int, 3> corrections_{};          // width, height, span correction boxes
  std::array<int, 3> ticks_{};                // estimate boxes 4/4, 3/4, 2/4
  std::array<int, 3> wind_classes_{1, 1, 0};  // 甲種, 乙種, 丙種

  std::optional<LoadedPhoto> photo_;
  std::string photo_path_;
  float img_scale_ = 0;  // working-image pixels per overview unit
  int view_width_ = 0;

  std::optional<ScanLine> line_;  // overview units
  bool line_shown_ = false;       // dragged, not only clicked
  bool scanned_ = false;
  bool stale_ = false;
  ScanResult scan_;
  ScanGuides guides_;
  SagOutcome sag_;
  std::array<float, 4> tension_est_{};
  float present_tension_ = 0;
  TensionOutcome tension_;
  ShownResults shown_;
  int evaluations_ = 0;
  // Warnings() of the last scan, made on its first call.
  mutable std::optional<std::vector<std::string>> warnings_;

  LensChoice lens_choice_;
  PhotoExif camera_exif_;
  LensLookup lens_lookup_;
  std::shared_ptr<const LensMapper> lens_mapper_;  // for lens_lookup_'s profile and the photo
  std::optional<double> lens_sag_change_;
};

}  // namespace sarn
