// sarn measure: loads a photo exactly as the window does, scans along a line
// given in the photo's own pixels, and runs the sag and tension chain of the
// measurement session.

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "app/cli_measure_options.h"
#include "session/session_json.h"
#include "session/session_report.h"
#include "state/numeric.h"

namespace sarn {
namespace {

constexpr const char* kCommand = "sarn measure";

void AddMeasureOptions(CLI::App& command, MeasureOptions& o) {
  command.add_option("PHOTO", o.photo, "the photo (JPEG; other formats through Qt)");
  command
      .add_option_function<std::string>(
          "--line",
          [&o](const std::string& text) {
            const std::vector<double> n = *ParseNumberList(text, 4);
            o.line = std::array<double, 4>{n[0], n[1], n[2], n[3]};
          },
          "the scan line in photo pixels, drawn a little above the conductor from one end of the "
          "span to the other")
      ->check(TextRule(
          "X1,Y1,X2,Y2",
          [](const std::string& text) { return ParseNumberList(text, 4).has_value(); },
          "takes four numbers X1,Y1,X2,Y2 (photo pixels)"));
  command.add_option("--batch", o.batch,
                     "rows photo,x1,y1,x2,y2 (paths relative to the CSV); prints one CSV row of "
                     "results per photo");
  command.add_flag_callback(
      "--no-cut", [&o] { o.load.cut = false; },
      "keep the photo's whole height (window: 上下を削除 off)");
  command.add_option("--limit", o.load.limit_text, "working-width limit in pixels (default 5000)");
  command
      .add_option_function<std::string>(
          "--criterion",
          [&o](const std::string& text) {
            o.criterion = text == "dark" ? Criterion::Darkness : Criterion::ChangeValue;
          },
          "detection criterion: change (変化値, default) or dark (黒さ)")
      ->check(CLI::IsMember({"change", "dark"}));
  command.add_option("--threshold", o.threshold_text, "brightness threshold (default 40)")
      ->check(NumberText());
  AddConductorOptions(command, o.conductor);
  command.add_option("--distance", o.distance_text, "approximate distance, m (default 60)")
      ->check(TextRule(
          "TEXT",
          [](const std::string& text) { return RoundToInt16(NumericParse(text)).has_value(); },
          "must lie within -32768..32767 m"));
  command.add_option("--height", o.height_text, "approximate height, m (default 10)")
      ->check(TextRule(
          "N", [](const std::string& text) { return StrictInteger16(text).has_value(); },
          "must be a number within -32768..32767 m"));
  command.add_flag("--height-correction", o.height_correction, "apply the height correction")
      ->disable_flag_override();
  command
      .add_option("--view-width", o.view_width,
                  "width in pixels of the picture area the line is rounded in, as the window "
                  "that shows the overview that wide (default 1004)")
      ->check(CLI::Range(100, 32767));
  AddJsonFlag(command, o.json);
  command
      .add_flag("--precision", o.precision,
                "precision tracing: follow the conductor across every column and take the sag "
                "from the fitted curve")
      ->disable_flag_override();
  command
      .add_option_function<std::string>(
          "--lens", [&o](const std::string& text) { o.lens = *ParseLensChoice(text); },
          "lens distortion correction: auto (camera, lens and focal length from the photo's "
          "EXIF), off (default), or \"MAKER|MODEL|LENS|FOCAL_MM\" from the lens database (LENS "
          "empty for a fixed-lens camera, FOCAL_MM empty for a prime)")
      ->check(TextRule(
          "auto|off|MAKER|MODEL|LENS|FOCAL_MM",
          [](const std::string& text) { return ParseLensChoice(text).has_value(); },
          "takes auto, off or \"MAKER|MODEL|LENS|FOCAL_MM\""));
  command.add_flag("--chart", o.chart, "add the stringing chart to the JSON")
      ->disable_flag_override();
  AddChartRangeOptions(command, o.range);
  command.add_option("--report", o.report,
                     "write the one-page measurement report as PDF (with --batch: a folder, one "
                     "report per photo)");
  command.add_option("--annotated", o.annotated,
                     "write the working image with the line, chord and stations as PNG");
}

}  // namespace

void CommandLineEvents::HiDatNotWritten(const Failure& why) {
  if (!warned_)
    err_ << kCommand << ": hi.dat not written (" << why.English() << "); going on without it\n";
  warned_ = true;
}

PreparedSession PrepareSession(const std::string& photo, const MeasureOptions& o,
                               const WireData& data, const CliContext& context,
                               SessionEvents* events) {
  PreparedSession prepared;
  prepared.session = std::make_unique<MeasurementSession>(
      context.hi_dat_folder.empty() ? context.program_folder : context.hi_dat_folder);
  MeasurementSession& session = *prepared.session;
  session.SetEvents(events);
  ApplyConductorOptions(o.conductor, data, session);
  session.SetDistanceTexts(o.distance_text, o.height_text);
  if (o.height_correction)
    session.SetCorrection(1, 1);
  session.SetThresholdText(o.threshold_text);
  session.SetCriterion(o.criterion);
  session.SetPrecision(o.precision);
  session.SetLens(o.lens);

  LoadQuestions no_questions;  // a retry is never asked: the answer is no
  // The scan reads the working image only: no overview raster.
  const PhotoLoadResult loaded =
      session.LoadPhoto(photo, o.load, o.view_width, no_questions, context.fallback_decoder, false);
  if (!loaded.loaded) {
    const std::string why =
        loaded.failure ? loaded.failure->reason : std::string("the photo could not be loaded");
    const int code = loaded.failure ? loaded.failure->code : 0;
    prepared.failure = photo + ": " + why + " (エラーコード=" + std::to_string(code) + ")";
  }
  return prepared;
}

int RunMeasureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CliContext& context) {
  CLI::App command(
      "usage: sarn measure PHOTO --line X1,Y1,X2,Y2 [options]\n"
      "       sarn measure --batch LINES.csv [options]\n"
      "Loads PHOTO as the window does, scans along the line and prints the seven-line\n"
      "result text the window copies to the clipboard.",
      kCommand);
  command.footer(kExitStatusHelp);
  MeasureOptions o;
  AddMeasureOptions(command, o);
  if (const std::optional<int> status = ParseCommand(command, args, out, err))
    return *status;
  auto bad = [&err](const std::string& message) {
    err << kCommand << ": " << message << "\nRun 'sarn measure --help' for the options.\n";
    return kExitBadInput;
  };
  if (o.batch.empty()) {
    if (o.photo.empty())
      return bad("no photo given");
    if (!o.line)
      return bad("--line X1,Y1,X2,Y2 is required (photo pixels)");
  } else if (!o.photo.empty() || o.line) {
    return bad("--batch takes the photos and lines from the CSV; give no photo or --line");
  }

  WireData data;
  if (!ReadConductorData(o.conductor, context, kCommand, err, &data))
    return kExitBadInput;
  if (!o.batch.empty())
    return RunBatch(o, data, out, err, context);

  CommandLineEvents events(err);
  PreparedSession prepared = PrepareSession(o.photo, o, data, context, &events);
  if (!prepared.failure.empty()) {
    err << kCommand << ": " << prepared.failure << "\n";
    return kExitBadInput;
  }
  MeasurementSession& session = *prepared.session;
  const std::array<double, 4>& line = *o.line;
  session.SetPhotoLine(line[0], line[1], line[2], line[3]);

  const std::vector<std::string> warnings = session.Warnings();
  for (const std::string& warning : warnings)
    err << kCommand << ": warning: " << warning << "\n";
  if (o.json) {
    Json json = MeasurementJson(session, warnings);
    if (o.chart)
      json["chart"] = ChartJson(session.Chart(o.range));
    out << JsonText(json) << "\n";
  } else {
    out << session.ResultText();
  }
  if (!WriteMeasurementFiles(session, o.report, o.annotated, context, err))
    return kExitBadInput;
  if (!session.Tension().ok()) {
    err << kCommand << ": the evaluation stopped: " << session.Tension().error << "\n";
    return kExitEvaluationFailed;
  }
  return kExitSuccess;
}

bool WriteMeasurementFiles(const MeasurementSession& session, const std::string& report,
                           const std::string& annotated, const CliContext& context,
                           std::ostream& err) {
  if (!report.empty()) {
    if (!context.write_report) {
      err << kCommand << ": this program cannot write reports\n";
      return false;
    }
    const ReportContent content = BuildReportContent(session, LocalTimeText(), SARN_VERSION);
    if (Result<void> written =
            context.write_report(content, ReportImagesOf(session.Photo()), report);
        !written) {
      err << kCommand << ": " << written.failure().English() << "\n";
      return false;
    }
  }
  if (!annotated.empty()) {
    const auto& photo = session.Photo();
    if (!photo || !context.write_annotated) {
      err << kCommand << ": no picture to annotate\n";
      return false;
    }
    const ReportContent content = BuildReportContent(session, "", SARN_VERSION);
    if (Result<void> written = context.write_annotated(photo->working, content.overlay, annotated);
        !written) {
      err << kCommand << ": " << written.failure().English() << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace sarn
