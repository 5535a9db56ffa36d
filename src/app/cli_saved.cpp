// sarn measure --from FILE.sarn.json, --batch FOLDER and --save FILE: a
// measurement saved by the window or by `sarn measure --save`, measured again
// headless on its photo, line and inputs, and compared with what was saved.

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli_batch.h"
#include "app/cli_measure_options.h"
#include "app/cli_measure_session.h"
#include "app/cli_saved.h"
#include "output/csv.h"
#include "session/saved_measurement.h"

namespace sarn {
namespace {

constexpr const char* kCommand = "sarn measure";

Json SavedJson(const std::string& file, const SavedMeasurement& saved, const OpeningPlan& plan,
               const std::vector<ResultDifference>& differences) {
  Json json = Json::object();
  json["file"] = file;
  json["sarn_version"] = saved.sarn_version;
  json["photo_sha256"] = saved.photo_sha256;
  json["photo_matches"] = plan.photo_matches;
  json["lens"] = saved.modes.lens;
  json["results_match"] = differences.empty();
  Json list = Json::array();
  for (const ResultDifference& d : differences)
    list.push_back(Json::object({{"key", d.key}, {"saved", d.saved}, {"now", d.now}}));
  json["differences"] = std::move(list);
  return json;
}

// The lines of `text`, each as a warning of the command.
void PrintWarnings(const std::string& text, std::ostream& err) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line))
    err << kCommand << ": warning: " << line << "\n";
}

}  // namespace

SavedRun MeasureSaved(const std::string& file, const WireData& data, const CliContext& context,
                      SessionEvents* events) {
  SavedRun run;
  const Result<SavedMeasurement> read = ReadSavedMeasurement(file);
  if (!read) {
    run.refusal = read.failure().English();
    return run;
  }
  const SavedMeasurement& saved = *read;
  const Result<OpeningPlan> planned = PlanOpening(saved, file, data.WireTable);
  if (!planned) {
    run.refusal = planned.failure().English();
    return run;
  }
  const OpeningPlan& plan = *planned;

  auto session = std::make_unique<MeasurementSession>(
      context.hi_dat_folder.empty() ? context.program_folder : context.hi_dat_folder);
  session->SetEvents(events);
  session->SetWireData(data, saved.inputs.span, saved.inputs.air_temp);
  LoadQuestions no_questions;  // the saved limit is used as it is: no retry
  const PhotoLoadResult loaded =
      session->LoadPhoto(plan.photo_path, saved.inputs.load, saved.inputs.view_width, no_questions,
                         context.fallback_decoder, false);
  if (!loaded.loaded()) {
    // The loading's failure names the photo's path itself.
    run.refusal = loaded.failure
                      ? loaded.failure->English() +
                            " (エラーコード=" + std::to_string(loaded.failure->code()) + ")"
                      : plan.photo_path + ": the photo could not be loaded";
    return run;
  }
  RestoreMeasurement(saved, plan.wire_index, *session);
  const std::vector<ResultDifference> differences = CompareResults(saved.results, *session);
  run.reproduction =
      ReproductionText(saved, plan, session->LensNotApplied(), differences, Language::kEnglish);
  run.saved_json = SavedJson(file, saved, plan, differences);
  run.session = std::move(session);
  return run;
}

int RunSavedMeasurement(const MeasureOptions& o, const WireData& data, std::ostream& out,
                        std::ostream& err, const CliContext& context) {
  CommandLineEvents events(err);
  SavedRun run = MeasureSaved(o.saved_from, data, context, &events);
  if (!run.session) {
    err << kCommand << ": " << run.refusal << "\n";
    return kExitBadInput;
  }
  const MeasurementSession& session = *run.session;
  const std::vector<std::string> warnings = session.Warnings();
  for (const std::string& warning : warnings)
    err << kCommand << ": warning: " << warning << "\n";
  PrintWarnings(run.reproduction, err);
  if (o.json) {
    // The keys of `sarn measure --json` for the same photo, line and inputs,
    // then what the file says beside them.
    Json json = MeasurementJson(session, warnings);
    if (o.chart)
      json["chart"] = ChartJson(session.Chart(o.range));
    json["saved"] = std::move(run.saved_json);
    out << JsonText(json) << "\n";
  } else {
    out << session.ResultText();
  }
  if (!WriteMeasurementFiles(session, o.report, o.annotated, context, err))
    return kExitBadInput;
  if (!session.Tension().ok()) {
    err << kCommand << ": the evaluation stopped: " << session.Tension().failure->English() << "\n";
    return kExitEvaluationFailed;
  }
  return run.reproduction.empty() ? kExitSuccess : kExitEvaluationFailed;
}

int RunSavedBatch(const MeasureOptions& o, const WireData& data, std::ostream& out,
                  std::ostream& err, const CliContext& context) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(o.batch, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > std::string(kSavedFileSuffix).size() && name.ends_with(kSavedFileSuffix) &&
        !entry.is_directory(error))
      files.push_back(entry.path());
  }
  if (error) {
    err << kCommand << ": cannot list the folder " << o.batch << ": " << error.message() << "\n";
    return kExitBadInput;
  }
  if (files.empty()) {
    err << kCommand << ": " << o.batch << ": no saved measurements (*" << kSavedFileSuffix
        << ") in this folder\n";
    return kExitBadInput;
  }
  std::sort(files.begin(), files.end());
  for (const std::string& folder : {o.report, o.annotated}) {
    if (!folder.empty() && !fs::is_directory(folder) && !fs::create_directories(folder, error)) {
      err << kCommand << ": cannot make the folder " << folder << ": " << error.message() << "\n";
      return kExitBadInput;
    }
  }

  out << "measurement," << kBatchResultHeader << "\n";
  CommandLineEvents events(err);
  int failures = 0;
  for (const fs::path& file : files) {
    SavedRun run = MeasureSaved(file.string(), data, context, &events);
    std::vector<std::string> notes;
    bool failed = !run.session || !run.reproduction.empty();
    if (!run.session)
      notes.push_back(run.refusal);
    if (!run.reproduction.empty())
      notes.push_back(run.reproduction);
    if (run.session) {
      if (!run.session->Tension().ok()) {
        notes.push_back(run.session->Tension().failure->English());
        failed = true;
      }
      for (const std::string& warning : run.session->Warnings())
        notes.push_back("warning: " + warning);
      std::string stem = file.filename().string();
      stem.resize(stem.size() - std::string(kSavedFileSuffix).size());
      const std::string report =
          o.report.empty() ? "" : (fs::path(o.report) / (stem + ".pdf")).string();
      const std::string annotated =
          o.annotated.empty() ? "" : (fs::path(o.annotated) / (stem + ".png")).string();
      std::ostringstream why;
      if (!WriteMeasurementFiles(*run.session, report, annotated, context, why)) {
        notes.push_back(why.str());
        failed = true;
      }
    }
    std::string joined;
    for (std::string note : notes) {
      std::replace(note.begin(), note.end(), '\n', ' ');
      while (!note.empty() && note.back() == ' ')
        note.pop_back();
      joined += (joined.empty() ? "" : "; ") + note;
    }
    out << CsvCell(file.filename().string()) << BatchResultCells(run.session.get()) << ','
        << CsvCell(joined) << '\n';
    failures += failed ? 1 : 0;
  }
  return failures == 0 ? kExitSuccess : kExitEvaluationFailed;
}

bool SaveMeasurementFile(const MeasurementSession& session, const LoadSettings& settings,
                         const std::string& path, std::ostream& err) {
  const Result<SavedMeasurement> captured = CaptureMeasurement(session, settings, path);
  const Result<void> written =
      captured ? WriteSavedMeasurement(path, *captured) : Result<void>(captured.failure());
  if (!written)
    err << kCommand << ": " << written.failure().English() << "\n";
  return written.ok();
}

}  // namespace sarn
