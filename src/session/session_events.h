#pragma once

// What passes between the measurement session and a face: the events the
// session reports while it runs (SessionEvents), the questions a photo load
// asks (LoadQuestions), the texts of the result labels (ShownResults) and
// what a photo load gives back (PhotoLoadResult).

#include <array>
#include <optional>
#include <string>

#include "photo/photo_loader.h"

namespace sarn {

// What the session reports while it runs. Every method has an empty default,
// so a face overrides only what it shows.
class SessionEvents {
 public:
  virtual ~SessionEvents() = default;
  // A scan ran: the guide lines (GuideLines()) are new.
  virtual void Scanned() {}
  // A scan was due (a line drawn, the threshold or criterion changed) but
  // could not run because the threshold is not a number: what is shown
  // belongs to the last scan that ran.
  virtual void ScanSkipped() {}
  // The sag texts and estimates are new.
  virtual void SagComputed() {}
  // The preselection set estimate box `index` to `value` (0/1).
  virtual void TickChanged(int /*index*/, int /*value*/) {}
  // The class rules set wind-load class box `index` (A, B, C) to `value`.
  virtual void WindClassChanged(int /*index*/, int /*value*/) {}
  // An evaluation ran: the tension texts are new.
  virtual void Evaluated() {}
  // The result text was produced for the clipboard.
  virtual void ResultCopied(const std::string& /*text*/) {}
  // hi.dat could not be written (once until a write succeeds again).
  virtual void HiDatNotWritten(const Failure& /*why*/) {}
  // The scan ran but gives no credible conductor (precision tracing found no
  // curve most columns agree on, or a station reaches the missing rows of an
  // incomplete photo): no result is shown, and `why` says so.
  virtual void MeasurementFailed(const Failure& /*why*/) {}
};

// The recovery of a photo load asks and reports through this; a command line
// answers every question with no.
class LoadQuestions {
 public:
  virtual ~LoadQuestions() = default;
  // Automatic adjustment is off and an attempt failed: retry with it on?
  virtual bool AskRetry() { return false; }
  // The recovery changed the limit text or the adjustment switch.
  virtual void SettingsChanged(const LoadSettings& /*now*/) {}
};

// What the result labels show: one text per label, or none when the step
// that fills it was not reached (the evaluation stopped before it, or the
// scan gave no result), and the label is then cleared. Every face reads this
// one model: the window's labels, the command line's text, CSV and JSON, the
// report.
using ShownText = std::optional<std::string>;

struct ShownResults {
  ShownText present_sag;               // 現在弛度, "##0.000"
  std::array<ShownText, 3> estimates;  // 4/4, 3/4, 2/4, "##0.0"
  ShownText present_tension;           // 現在張力, "##0.0"
  ShownText allow_a;                   // "甲=2234kGf", or "" when class A is off
  ShownText allow_bc;                  // "乙=1620kGf" / "丙=1660kGf"
  ShownText ratio;                     // 許容張力比, "93"
  ShownText specified_sag;             // 規定弛度, "0.09"
  bool ratio_red = false;              // ratio above 100: on red, else yellow
};

// A label's caption: its text, or empty when it is cleared.
inline std::string LabelCaption(const ShownText& text) {
  return text.value_or(std::string());
}

// How the load ended (LoadReport: the settings as the recovery left them;
// on failure the failure, the message box text and whether the program must
// end), and the photo a successful load replaced, handed back so that a face
// that shows its rasters without a copy can let go of them before they are
// freed.
struct PhotoLoadResult : LoadReport {
  std::optional<LoadedPhoto> replaced;
};

}  // namespace sarn
