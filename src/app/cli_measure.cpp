// sarn measure: loads a photo exactly as the window does, scans along a line
// given in the photo's own pixels, and runs the sag and tension chain of the
// measurement session.

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_batch.h"
#include "app/cli_commands.h"
#include "app/cli_measure_session.h"
#include "app/cli_saved.h"
#include "session/session_json.h"
#include "session/session_report.h"
#include "state/numeric.h"

namespace sarn {
namespace {

constexpr const char* kCommand = "sarn measure";

void AddMeasureOptions(CLI::App& command, MeasureOptions& options) {
  command.add_option("PHOTO", options.photo, "the photo (JPEG; other formats through Qt)");
  command
      .add_option_function<std::string>(
          "--line",
          [&options](const std::string& text) {
            const std::vector<double> numbers = *ParseNumberList(text, 4);
            options.line = std::array<double, 4>{numbers[0], numbers[1], numbers[2], numbers[3]};
          },
          "the scan line in photo pixels, drawn a little above the conductor from one end of the "
          "span to the other")
      ->check(TextRule(
          "X1,Y1,X2,Y2",
          [](const std::string& text) { return ParseNumberList(text, 4).has_value(); },
          "takes four numbers X1,Y1,X2,Y2 (photo pixels)"));
  command.add_option("--batch", options.batch,
                     "rows photo,x1,y1,x2,y2 (paths relative to the CSV), or a folder of saved "
                     "measurements (*.sarn.json); prints one CSV row of results per row or file");
  command.add_flag_callback(
      "--no-cut", [&options] { options.load.cut = false; },
      "keep the photo's whole height (window: 上下を削除 off)");
  command.add_option("--limit", options.load.limit_text,
                     "working-width limit in pixels (default 5000)");
  command
      .add_option_function<std::string>(
          "--criterion",
          [&options](const std::string& text) {
            options.criterion = text == "dark" ? Criterion::Darkness : Criterion::ChangeValue;
          },
          "detection criterion: change (変化値, default) or dark (黒さ)")
      ->check(CLI::IsMember({"change", "dark"}));
  command.add_option("--threshold", options.threshold_text, "brightness threshold (default 40)")
      ->check(NumberText());
  AddConductorOptions(command, options.conductor);
  command.add_option("--distance", options.distance_text, "approximate distance, m (default 60)")
      ->check(TextRule(
          "TEXT",
          [](const std::string& text) { return RoundToInt16(NumericParse(text)).has_value(); },
          "must lie within -32768..32767 m"));
  command.add_option("--height", options.height_text, "approximate height, m (default 10)")
      ->check(TextRule(
          "N", [](const std::string& text) { return StrictInteger16(text).has_value(); },
          "must be a number within -32768..32767 m"));
  command.add_flag("--height-correction", options.height_correction, "apply the height correction")
      ->disable_flag_override();
  command
      .add_option("--view-width", options.view_width,
                  "width in pixels of the picture area the line is rounded in, as the window "
                  "that shows the overview that wide (default 1004)")
      ->check(CLI::Range(100, 32767));
  AddJsonFlag(command, options.json);
  command
      .add_flag("--precision", options.precision,
                "precision tracing: follow the conductor across every column and take the sag "
                "from the fitted curve")
      ->disable_flag_override();
  command
      .add_option_function<std::string>(
          "--lens", [&options](const std::string& text) { options.lens = *ParseLensChoice(text); },
          "lens distortion correction: auto (camera, lens and focal length from the photo's "
          "EXIF), off (default), or \"MAKER|MODEL|LENS|FOCAL_MM\" from the lens database (LENS "
          "empty for a fixed-lens camera, FOCAL_MM empty for a prime)")
      ->check(TextRule(
          "auto|off|MAKER|MODEL|LENS|FOCAL_MM",
          [](const std::string& text) { return ParseLensChoice(text).has_value(); },
          "takes auto, off or \"MAKER|MODEL|LENS|FOCAL_MM\""));
  command.add_flag("--chart", options.chart, "add the stringing chart to the JSON")
      ->disable_flag_override();
  AddChartRangeOptions(command, options.range, &options.saved_from);
  command.add_option("--report", options.report,
                     "write the one-page measurement report as PDF (with --batch: a folder, one "
                     "report per photo)");
  command.add_option("--annotated", options.annotated,
                     "write the working image with the line, chord and stations as PNG");
  command.add_option("--save", options.save,
                     "save the measurement (photo, line, inputs, results) as FILE.sarn.json, "
                     "to be measured again with --from");
}

// The options that --from and a batch of saved measurements take from the
// files; giving one of them as well is refused.
constexpr const char* kInputOptions[] = {"--line",
                                         "--no-cut",
                                         "--limit",
                                         "--criterion",
                                         "--threshold",
                                         "--wire",
                                         "--span",
                                         "--air-temp",
                                         "--design-temps",
                                         "--classes",
                                         "--distance",
                                         "--height",
                                         "--height-correction",
                                         "--view-width",
                                         "--precision",
                                         "--lens",
                                         "--save"};

}  // namespace

void CommandLineEvents::HiDatNotWritten(const Failure& why) {
  if (!warned_)
    err_ << kCommand << ": hi.dat not written (" << why.English() << "); going on without it\n";
  warned_ = true;
}

PreparedSession PrepareSession(const std::string& photo, const MeasureOptions& options,
                               const WireData& data, const CliContext& context,
                               SessionEvents* events) {
  PreparedSession prepared;
  prepared.session = std::make_unique<MeasurementSession>(
      context.hi_dat_folder.empty() ? context.program_folder : context.hi_dat_folder);
  MeasurementSession& session = *prepared.session;
  session.SetEvents(events);
  SessionInputs inputs = ConductorInputs(options.conductor);
  inputs.distance_text = options.distance_text;
  inputs.height_text = options.height_text;
  inputs.corrections[1] = options.height_correction ? 1 : 0;
  inputs.threshold_text = options.threshold_text;
  inputs.criterion = options.criterion;
  inputs.precision = options.precision;
  inputs.lens = options.lens;
  session.SetInputs(data, inputs);

  LoadQuestions no_questions;  // a retry is never asked: the answer is no
  // The scan reads the working image only: no overview raster.
  const PhotoLoadResult loaded = session.LoadPhoto(photo, options.load, options.view_width,
                                                   no_questions, context.fallback_decoder, false);
  // The failure names the photo's path.
  if (!loaded.loaded()) {
    prepared.failure = loaded.failure->English() +
                       " (エラーコード=" + std::to_string(loaded.failure->code()) + ")";
  }
  prepared.settings = loaded.settings;
  return prepared;
}

int RunMeasureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CliContext& context) {
  CLI::App command(
      "usage: sarn measure PHOTO --line X1,Y1,X2,Y2 [options]\n"
      "       sarn measure --from FILE.sarn.json [--json] [options]\n"
      "       sarn measure --batch LINES.csv|FOLDER [options]\n"
      "Loads PHOTO as the window does, scans along the line and prints the seven-line\n"
      "result text the window copies to the clipboard. --from measures a saved\n"
      "measurement again and says what differs from it (the photo, or a result).",
      kCommand);
  command.footer(kExitStatusHelp);
  MeasureOptions options;
  AddMeasureOptions(command, options);
  if (const std::optional<int> status = ParseCommand(command, args, out, err))
    return *status;
  auto bad = [&err](const std::string& message) {
    err << kCommand << ": " << message << "\nRun 'sarn measure --help' for the options.\n";
    return kExitBadInput;
  };
  const bool from_saved = !options.saved_from.empty() ||
                          (!options.batch.empty() && std::filesystem::is_directory(options.batch));
  if (from_saved) {
    if (!options.photo.empty() || (!options.saved_from.empty() && !options.batch.empty()))
      return bad("a saved measurement names its photo; give no photo, and --from or --batch");
    for (const char* name : kInputOptions) {
      if (command.count(name) > 0)
        return bad(std::string(name) +
                   " cannot be given with a saved measurement: the file holds the photo, the "
                   "line and every input");
    }
  } else if (options.batch.empty()) {
    if (options.photo.empty())
      return bad("no photo given");
    if (!options.line)
      return bad("--line X1,Y1,X2,Y2 is required (photo pixels)");
  } else if (!options.photo.empty() || options.line) {
    return bad("--batch takes the photos and lines from the CSV; give no photo or --line");
  } else if (!options.save.empty()) {
    return bad("--save names one file; it cannot be given with --batch");
  }

  WireData data;
  if (!ReadConductorData(options.conductor, context, kCommand, err, &data))
    return kExitBadInput;
  if (!options.saved_from.empty())
    return RunSavedMeasurement(options, data, out, err, context);
  if (!options.batch.empty())
    return RunBatch(options, data, out, err, context);

  CommandLineEvents events(err);
  PreparedSession prepared = PrepareSession(options.photo, options, data, context, &events);
  if (!prepared.failure.empty()) {
    err << kCommand << ": " << prepared.failure << "\n";
    return kExitBadInput;
  }
  MeasurementSession& session = *prepared.session;
  const std::array<double, 4>& line = *options.line;
  session.SetPhotoLine(line[0], line[1], line[2], line[3]);

  const std::vector<std::string> warnings = session.Warnings();
  for (const std::string& warning : warnings)
    err << kCommand << ": warning: " << warning << "\n";
  if (options.json) {
    Json json = MeasurementJson(session, warnings);
    if (options.chart)
      json["chart"] = ChartJson(session.Chart(options.range));
    out << JsonText(json) << "\n";
  } else {
    out << session.ResultText();
  }
  if (!WriteMeasurementFiles(session, options.report, options.annotated, context, err))
    return kExitBadInput;
  if (!options.save.empty() && !SaveMeasurementFile(session, prepared.settings, options.save, err))
    return kExitBadInput;
  if (!session.Tension().ok()) {
    err << kCommand << ": the evaluation stopped: " << session.Tension().failure->English() << "\n";
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
