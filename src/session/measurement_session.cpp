#include "session/measurement_session.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "output/result_text.h"
#include "session/raster_pixels.h"
#include "session/trace_reason.h"
#include "state/numeric.h"
#include "tracing/hi_dat.h"
#include "tracing/scan_check.h"

namespace sarn {
namespace {

// The working image of the photo, or an empty raster before any photo.
const Raster& WorkingOf(const std::optional<LoadedPhoto>& photo) {
  static const Raster kNoPicture;
  return photo ? photo->working : kNoPicture;
}

}  // namespace

MeasurementSession::MeasurementSession(std::string hi_dat_folder)
    : hi_dat_folder_(std::move(hi_dat_folder)) {}

void MeasurementSession::SetWireData(const WireData& wires, const std::string& span_text,
                                     const std::string& air_temp_text) {
  state_.WireLast = wires.WireLast;
  state_.DesignTemp = wires.DesignTemp;
  state_.WireTable = wires.WireTable;
  StoreSpanText(span_text);
  StoreAirTempText(air_temp_text);
  for (size_t i = 0; i < 2; ++i)
    design_temp_texts_[i] = PlainInteger(wires.DesignTemp[i]);
}

void MeasurementSession::SetInputs(const WireData& wires, const SessionInputs& inputs) {
  SetWireData(wires, inputs.span_text, inputs.air_temp_text);
  state_.WireIndex = inputs.wire;
  if (inputs.design_temp_texts) {
    for (int i = 0; i < 2; ++i)
      StoreDesignTempText(i, (*inputs.design_temp_texts)[static_cast<size_t>(i)]);
  }
  StoreWindCombination(inputs.classes);
  StoreDistanceTexts(inputs.distance_text, inputs.height_text);
  corrections_ = inputs.corrections;
  threshold_text_ = inputs.threshold_text;
  criterion_ = inputs.criterion;
  precision_ = inputs.precision;
  if (inputs.lens != lens_choice_) {
    lens_choice_ = inputs.lens;
    ResolveLens();
  }
}

void MeasurementSession::SetStartDistances(const std::string& distance, const std::string& height) {
  distance_text_ = distance;
  height_text_ = height;
  if (auto value = StrictInteger16(distance))
    state_.ApproxDistance = *value;
  if (auto value = StrictInteger16(height))
    state_.ApproxHeight = *value;
}

PhotoLoadResult MeasurementSession::LoadPhoto(const std::string& path, const LoadSettings& settings,
                                              int view_width, LoadQuestions& questions,
                                              const FallbackDecoder& fallback,
                                              bool build_overview) {
  LoadCallbacks callbacks;
  callbacks.ask_retry = [&questions] { return questions.AskRetry(); };
  callbacks.settings_changed = [&questions](const LoadSettings& now) {
    questions.SettingsChanged(now);
  };
  callbacks.fallback_decoder = fallback;
  callbacks.build_overview = build_overview;
  LoadOutcome outcome = LoadPhotoWithRecovery(path, settings, view_width, callbacks);
  PhotoLoadResult result;
  static_cast<LoadReport&>(result) = outcome;
  if (!outcome.photo)
    return result;
  result.replaced = SetPhoto(std::move(*outcome.photo), path, view_width);
  return result;
}

std::optional<LoadedPhoto> MeasurementSession::SetPhoto(LoadedPhoto photo, const std::string& path,
                                                        int view_width) {
  std::optional<LoadedPhoto> replaced = std::move(photo_);
  photo_ = std::move(photo);
  photo_path_ = path;
  img_scale_ = photo_->overview_plan.ImgScale;
  view_width_ = view_width;
  // The guide lines go with the old photo; WireY and the chord stay, so an
  // input changed now recomputes on them as before.
  line_.reset();
  line_shown_ = false;
  scanned_ = false;
  stale_ = false;
  trace_.reset();
  measurement_failure_.reset();
  warnings_.reset();
  // The camera and lens: a JPEG's first bytes or a HEIF file's Exif item.
  camera_exif_ = ReadPhotoExif(path).value_or(PhotoExif{});
  ResolveLens();
  return replaced;
}

// The profile for the present choice and photo. With correction off the
// database is consulted only for a photo that names its camera, and only
// the files that mention that camera are read.
void MeasurementSession::ResolveLens() {
  warnings_.reset();  // the lens advice is one of them
  lens_lookup_ = LensLookup{};
  lens_mapper_.reset();
  lens_sag_change_.reset();
  switch (lens_choice_.mode) {
    case LensMode::Off:
      if (photo_ && NamesCamera(camera_exif_))
        lens_lookup_ = LensDatabase::Find(camera_exif_, false);
      break;
    case LensMode::Auto:
      lens_lookup_ = LensDatabase::Find(camera_exif_, true);
      break;
    case LensMode::Manual:
      lens_lookup_ = LensDatabase::Find(lens_choice_);
      break;
  }
  if (lens_lookup_.profile && photo_)
    lens_mapper_ = std::make_shared<const LensMapper>(*lens_lookup_.profile, photo_->photo_width,
                                                      photo_->photo_height);
}

void MeasurementSession::SetLens(const LensChoice& choice) {
  if (choice == lens_choice_)
    return;
  lens_choice_ = choice;
  ResolveLens();
  if (scanned_)
    SarnKeisan();
}

bool MeasurementSession::LensApplied() const {
  return lens_choice_.mode != LensMode::Off && lens_mapper_ != nullptr;
}

std::optional<double> MeasurementSession::LensCorrectionAdvised() const {
  if (lens_choice_.mode != LensMode::Off || !lens_sag_change_ || std::fabs(*lens_sag_change_) <= 1)
    return std::nullopt;
  return lens_sag_change_;
}

std::optional<Failure> MeasurementSession::LensNotApplied() const {
  if (lens_choice_.mode == LensMode::Off || lens_lookup_.profile || !photo_)
    return std::nullopt;
  return lens_lookup_.why_not;
}

std::optional<Failure> MeasurementSession::LensWarning() const {
  if (const std::optional<double> change = LensCorrectionAdvised()) {
    const LensProfile& p = *lens_lookup_.profile;
    char percent[32];
    std::snprintf(percent, sizeof percent, "%+.1f", *change);
    return Failure(MessageId::kLensAdvised, {p.CameraName(), p.LensName(), percent});
  }
  if (std::optional<Failure> why = LensNotApplied())
    return Failure(MessageId::kLensNotApplied, {*why});
  return std::nullopt;
}

// The conductor at the stations (the traced curve's rows with precision
// tracing, else the scan's) and the chord's ends, in working-image
// coordinates mapped to the full photo, undistorted there and mapped back.
// With precision tracing the traced centres themselves are undistorted and
// fitted again, and each station's row is read from that curve at the
// station's undistorted column: the quartic the tracer fits to the bent
// conductor as the photo shows it misses it by up to 0.2 px, nearly 1 % of
// a 30 px sag, where the undistorted conductor is a quartic to a hundredth
// of a pixel.
std::optional<CorrectedPoints> MeasurementSession::CorrectedStations() const {
  if (!lens_mapper_ || !photo_)
    return std::nullopt;
  const bool traced = precision_ && trace_ && trace_->credible;
  const int pw = photo_->photo_width, ph = photo_->photo_height;
  auto correct = [&](double wx, double wy, double* cx, double* cy) {
    PhotoPoint p;
    WorkingToPhoto(photo_->plan, pw, ph, wx, wy, &p.x, &p.y);
    const PhotoPoint u = lens_mapper_->Undistort(p);
    PhotoToWorking(photo_->plan, pw, ph, u.x, u.y, cx, cy);
  };
  CorrectedPoints c;
  // Pixel (x, y) of the working image spans x..x+1, y..y+1; a station's
  // point is the centre of the pixel its row was found in (or the traced
  // centre line).
  std::array<double, kStations> rows{};
  for (size_t i = 0; i < kStations; ++i) {
    const double x = (traced ? trace_->StationX[i] : scan_.StationX[i]) + 0.5;
    rows[i] = (traced ? static_cast<double>(trace_->StationRows[i])
                      : static_cast<double>(scan_.WireY[i])) +
              0.5;
    correct(x, rows[i], &c.x[i], &c.y[i]);
  }
  // The chord's ends: the drawn line's ends' columns at the conductor.
  double unused = 0;
  correct(guides_.chord_working.X1, rows[0], &c.chord_x1, &unused);
  correct(guides_.chord_working.X2, rows[kStations - 1], &c.chord_x2, &unused);
  if (traced) {
    const auto move = [&correct](TracedCentre p) {
      correct(p.x + 0.5, p.y + 0.5, &p.x, &p.y);
      return p;
    };
    if (const std::optional<PrecisionCurve> curve =
            RefitMovedCentres(*trace_, move, (c.x[0] + c.x[kStations - 1]) / 2,
                              std::fabs(c.x[kStations - 1] - c.x[0]) / 2)) {
      for (size_t i = 0; i < kStations; ++i)
        c.y[i] = curve->RowAt(c.x[i]);
    }
  }
  return c;
}

void MeasurementSession::TrackLine(const ScanLine& line) {
  line_ = line;
  line_shown_ = true;
  warnings_.reset();
}

void MeasurementSession::SetLine(const ScanLine& line) {
  line_ = line;
  Scan();
}

void MeasurementSession::SetPhotoLine(double x1, double y1, double x2, double y2) {
  if (!photo_ || img_scale_ == 0.0f) {
    SetLine(ScanLine{});
    return;
  }
  const int pw = photo_->photo_width, ph = photo_->photo_height;
  double wx1 = 0, wy1 = 0, wx2 = 0, wy2 = 0;
  PhotoToWorking(photo_->plan, pw, ph, x1, y1, &wx1, &wy1);
  PhotoToWorking(photo_->plan, pw, ph, x2, y2, &wx2, &wy2);
  // Overview units, held as 32-bit floats as the pointer gives them.
  const double scale = img_scale_;
  SetLine(ScanLine{static_cast<float>(wx1 / scale), static_cast<float>(wy1 / scale),
                   static_cast<float>(wx2 / scale), static_cast<float>(wy2 / scale)});
}

void MeasurementSession::SetThresholdText(const std::string& text) {
  threshold_text_ = text;
  if (line_shown_)
    Scan();
}

void MeasurementSession::SetCriterion(Criterion criterion) {
  criterion_ = criterion;
  if (scanned_)
    Scan();
}

void MeasurementSession::StoreSpanText(const std::string& text) {
  span_text_ = text;
  state_.SpanLength = static_cast<float>(NumericParse(text));
}

void MeasurementSession::SetSpanText(const std::string& text) {
  StoreSpanText(text);
  SarnKeisan();
}

void MeasurementSession::StoreAirTempText(const std::string& text) {
  air_temp_text_ = text;
  state_.AirTemp = static_cast<float>(NumericParse(text));
}

void MeasurementSession::SetAirTempText(const std::string& text) {
  StoreAirTempText(text);
  SarnKeisan();
}

void MeasurementSession::SetWireIndex(int16_t index) {
  state_.WireIndex = index;
  SarnKeisan();
}

// A text that gives no 16-bit value (out of range, or for the height not a
// number at all, as while the user retypes it) leaves the stored value as it
// was; the computation runs on with it.
void MeasurementSession::StoreDistanceTexts(const std::string& distance,
                                            const std::string& height) {
  distance_text_ = distance;
  height_text_ = height;
  if (auto value = RoundToInt16(NumericParse(distance)))
    state_.ApproxDistance = *value;
  if (auto value = StrictInteger16(height))
    state_.ApproxHeight = *value;
}

void MeasurementSession::SetDistanceTexts(const std::string& distance, const std::string& height) {
  StoreDistanceTexts(distance, height);
  SarnKeisan();
}

void MeasurementSession::SetCorrection(int index, int value) {
  if (index < 0 || index > 2)
    return;
  corrections_[static_cast<size_t>(index)] = value;
  SarnKeisan();
}

void MeasurementSession::StoreDesignTempText(int index, const std::string& text) {
  design_temp_texts_[static_cast<size_t>(index)] = text;
  if (auto temperature = RoundToInt16(NumericParse(text)))
    state_.DesignTemp[static_cast<size_t>(index)] = *temperature;
}

void MeasurementSession::SetDesignTempText(int index, const std::string& text) {
  if (index < 0 || index > 1)
    return;
  StoreDesignTempText(index, text);
  EvalTension();
}

void MeasurementSession::SetTick(int index, int value) {
  if (index < 0 || index > 2 || ticks_[static_cast<size_t>(index)] == value)
    return;  // the same value handed back by a box the session set
  ticks_[static_cast<size_t>(index)] = value;
  EvalTension();
}

void MeasurementSession::SetWindClass(int index, int value) {
  if (index < 0 || index > 2 || wind_classes_[static_cast<size_t>(index)] == value)
    return;
  wind_classes_[static_cast<size_t>(index)] = value;
  RaiseWindClass(index);
}

// The reaction to box `index` having changed: each box the class rules
// change reacts in turn, at once, before the next setting (the rules always
// move towards an allowed combination, so this nests at most three deep),
// and every reaction ends in one evaluation.
void MeasurementSession::RaiseWindClass(int index) {
  const int value = wind_classes_[static_cast<size_t>(index)];
  for (const auto& [box, box_value] : WindClassReaction(index, value)) {
    int& target = wind_classes_[static_cast<size_t>(box)];
    if (target == box_value)
      continue;
    target = box_value;
    events_->WindClassChanged(box, box_value);
    RaiseWindClass(box);
  }
  EvalTension();
}

bool MeasurementSession::StoreWindCombination(WindCombination combination) {
  const std::array<int, 3> boxes = CombinationBoxes(combination);
  bool changed = false;
  for (int i = 0; i < 3; ++i) {
    if (wind_classes_[static_cast<size_t>(i)] != boxes[static_cast<size_t>(i)]) {
      wind_classes_[static_cast<size_t>(i)] = boxes[static_cast<size_t>(i)];
      events_->WindClassChanged(i, boxes[static_cast<size_t>(i)]);
      changed = true;
    }
  }
  return changed;
}

void MeasurementSession::SetWindCombination(WindCombination combination) {
  StoreWindCombination(combination);
  EvalTension();
}

void MeasurementSession::SetEstimates(const std::array<float, 3>& estimates,
                                      const std::array<int, 3>& ticks) {
  for (size_t i = 0; i < 3; ++i)
    tension_est_[i] = estimates[i];
  ticks_ = ticks;
  EvalTension();
}

void MeasurementSession::Scan() {
  // A threshold that is not a number (an empty box while the user retypes
  // it is ordinary) cannot drive a scan: nothing runs, and what is shown
  // belongs to the last scan that ran until the next one does.
  const std::optional<double> threshold = StrictNumber(threshold_text_);
  if (!threshold) {
    stale_ = true;
    events_->ScanSkipped();
    return;
  }
  const ScanLine line = line_.value_or(ScanLine{});
  const RasterPixels pixels(WorkingOf(photo_));
  scan_ = RunScan(line, img_scale_, pixels, criterion_, *threshold);

  // The profile dump is a by-product: a folder that cannot be written is
  // reported once and the measurement goes on.
  hi_dat_path_.clear();
  if (!hi_dat_folder_.empty()) {
    const std::string path = hi_dat_folder_ + "/hi.dat";
    if (Result<void> written = WriteHiDat(path, scan_); written) {
      hi_dat_path_ = path;
      hi_dat_failure_reported_ = false;
    } else if (!hi_dat_failure_reported_) {
      hi_dat_failure_reported_ = true;
      events_->HiDatNotWritten(written.failure());
    }
  }

  guides_ = ComputeGuides(line, img_scale_, scan_.WireY);
  scanned_ = true;
  stale_ = false;
  measurement_failure_.reset();
  trace_.reset();
  warnings_.reset();
  if (photo_) {
    if (const std::optional<size_t> station =
            FirstStationInMissingRows(*photo_, scan_.ScanTop, kSamples)) {
      measurement_failure_ = Failure(
          MessageId::kStationReachesMissingRows,
          {std::to_string(*station), IncompletePhotoFailure(*photo_->first_missing_photo_row)});
    }
  }
  if (precision_ && !measurement_failure_) {
    trace_ = TraceNow();
    if (trace_->credible)
      PlaceGuidesOnRows(trace_->StationRows, img_scale_, &guides_);
    else
      // The tracer words its reason in English only; the catalogue's entry
      // for it gives the window its Japanese.
      measurement_failure_ =
          Failure(MessageId::kTraceNotCredible, {TraceReasonFailure(trace_->reason)});
  }
  events_->Scanned();
  if (measurement_failure_) {
    ClearResults();
    events_->MeasurementFailed(*measurement_failure_);
    return;
  }
  SarnKeisan();
}

PrecisionTrace MeasurementSession::TraceNow() const {
  const Raster& working = WorkingOf(photo_);
  const ImageView view{working.pixels.data(), working.width, working.height};
  return TracePrecisely(view, line_.value_or(ScanLine{}), img_scale_);
}

// A scan that gives no result shows none: every value label is emptied, no
// estimate is ticked, and nothing is copied.
void MeasurementSession::ClearResults() {
  sag_ = SagOutcome{};
  tension_est_ = {};
  present_tension_ = 0;
  tension_ = TensionOutcome{};
  tension_.failure = measurement_failure_;
  shown_ = ShownResults{};
  events_->SagComputed();
  for (size_t i = 0; i < 3; ++i) {
    if (ticks_[i] != 0) {
      ticks_[i] = 0;
      events_->TickChanged(static_cast<int>(i), 0);
    }
  }
  events_->Evaluated();
}

void MeasurementSession::SetPrecision(bool on) {
  if (precision_ == on)
    return;
  precision_ = on;
  warnings_.reset();
  if (scanned_)
    Scan();
}

double MeasurementSession::SagResolution() const {
  const double extent = std::fabs(static_cast<double>(guides_.chord_working.X2) -
                                  static_cast<double>(guides_.chord_working.X1));
  if (!scanned_ || extent == 0)
    return 0;
  const double width_factor = sag_.WidthFactor > 0 ? sag_.WidthFactor : 1.0;
  return state_.SpanLength * width_factor / extent;
}

const std::vector<std::string>& MeasurementSession::Warnings() const {
  if (warnings_)
    return *warnings_;
  std::vector<std::string>& warnings = warnings_.emplace();
  if (photo_ && !photo_->incomplete_message.empty())
    warnings.push_back(photo_->incomplete_message);
  if (const std::optional<Failure> lens = LensWarning())
    warnings.push_back(lens->English());
  if (!scanned_ || precision_ || measurement_failure_)
    return warnings;
  for (std::string& off : StationsOffTheTrace(scan_.WireY, TraceNow()))
    warnings.push_back(std::move(off));
  return warnings;
}

StringingChartResult MeasurementSession::Chart(const TemperatureRange& range) const {
  return ChartAt(present_tension_, range);
}

StringingChartResult MeasurementSession::ChartAt(double present_tension_kgf,
                                                 const TemperatureRange& range) const {
  return ComputeStringingChart(state_, present_tension_kgf, range);
}

void MeasurementSession::SarnKeisan() {
  if (measurement_failure_) {
    ClearResults();
    return;
  }
  SagInputs inputs;
  inputs.WireY = scan_.WireY;
  inputs.ChordX1 = guides_.chord_working.X1;
  inputs.ChordX2 = guides_.chord_working.X2;
  inputs.Check6 = corrections_;
  if (precision_ && trace_ && trace_->credible)
    inputs.PreciseRows = trace_->StationRows;
  sag_ = ComputeSag(state_, inputs);
  // With a lens profile known, the corrected sag too: shown when correction
  // is on, and its change to the 4/4 sag reported either way.
  lens_sag_change_.reset();
  if (std::optional<CorrectedPoints> corrected = CorrectedStations()) {
    SagInputs corrected_inputs = inputs;
    corrected_inputs.Corrected = std::move(corrected);
    SagOutcome corrected_sag = ComputeSag(state_, corrected_inputs);
    if (sag_.SagDefined[0] && corrected_sag.SagDefined[0] && sag_.SagEst[0] != 0)
      lens_sag_change_ = (double{corrected_sag.SagEst[0]} / double{sag_.SagEst[0]} - 1.0) * 100.0;
    if (lens_choice_.mode != LensMode::Off)
      sag_ = corrected_sag;
  }

  shown_.present_sag = sag_.sag_text;
  for (size_t i = 0; i < 3; ++i)
    shown_.estimates[i] = sag_.estimate_texts[i];
  tension_est_ = sag_.TensionEst;
  present_tension_ = sag_.MeanTension;
  events_->SagComputed();

  // Preselection, box by box: a box that changes is shown and re-evaluates
  // at once, which replaces the present tension by the mean of the boxes then
  // ticked, and the next box is compared against that.
  PreselectEstimates(sag_, ticks_, [this](int index, int tick, const std::array<int, 3>& ticks) {
    ticks_ = ticks;
    events_->TickChanged(index, tick);
    EvalTension();
    return present_tension_;
  });
  EvalTension();
}

void MeasurementSession::EvalTension() {
  if (measurement_failure_)
    return;  // the labels stay empty until a scan gives a result
  TensionInputs inputs;
  for (size_t i = 0; i < 3; ++i) {
    inputs.TensionEst[i] = tension_est_[i];
    inputs.Check3[i] = ticks_[i];
  }
  inputs.ClassA = wind_classes_[0];
  inputs.ClassC = wind_classes_[2];
  tension_ = EvaluateTension(state_, inputs);
  ++evaluations_;

  present_tension_ = tension_.PresentTension;
  // A label whose step the run did not reach is cleared, so that no result
  // of an earlier run is shown beside the new ones as if it were current.
  const auto& shown = tension_.shown;
  shown_.present_tension = shown.present_tension;
  shown_.allow_a = shown.allow_a;
  shown_.allow_bc = shown.allow_bc;
  shown_.ratio = shown.ratio;
  shown_.specified_sag = shown.specified_sag;
  shown_.ratio_red = shown.ratio.has_value() && shown.ratio_red;
  events_->Evaluated();
  if (tension_.ok())
    CopyResults();
}

std::string MeasurementSession::ResultText() const {
  ResultTextFields fields;
  const WireRecord* wire = state_.SelectedWire();
  fields.conductor_name = wire ? wire->Name : std::string();
  fields.span_text = span_text_;
  fields.distance_text = distance_text_;
  fields.present_tension = LabelCaption(shown_.present_tension);
  for (size_t i = 0; i < 3; ++i)
    fields.estimates[i] = LabelCaption(shown_.estimates[i]);
  return BuildResultText(fields);
}

void MeasurementSession::CopyResults() {
  events_->ResultCopied(ResultText());
}

}  // namespace sarn
