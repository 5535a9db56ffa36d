// sarn measure --batch: one measurement per photo,x1,y1,x2,y2 row of a CSV,
// each in a session of its own, so that a row gives what `sarn measure` gives
// for it alone.

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli_batch.h"
#include "app/cli_measure_session.h"
#include "app/cli_saved.h"
#include "output/csv.h"
#include "output/number_format.h"
#include "state/file_access.h"
#include "state/numeric.h"

namespace sarn {
namespace {

// A list of lines is small; a larger file is not one.
constexpr size_t kLargestBatchBytes = size_t{64} << 20;

struct RowResult {
  std::unique_ptr<MeasurementSession> session;
  std::string error;
};

RowResult MeasureRow(const std::vector<std::string>& cells, int line_number,
                     const std::filesystem::path& base, const MeasureOptions& options,
                     const WireData& data, const CliContext& context, SessionEvents* events) {
  RowResult row;
  const std::string where = "line " + std::to_string(line_number) + ": ";
  if (cells.size() != 5) {
    row.error = where + "expected photo,x1,y1,x2,y2";
    return row;
  }
  std::array<double, 4> coords{};
  for (size_t i = 0; i < 4; ++i) {
    const std::optional<double> value = StrictNumber(cells[i + 1]);
    if (!value) {
      row.error = where + "'" + cells[i + 1] + "' is not a number";
      return row;
    }
    coords[i] = *value;
  }
  std::filesystem::path photo(cells[0]);
  if (photo.is_relative())
    photo = base / photo;
  PreparedSession prepared = PrepareSession(photo.string(), options, data, context, events);
  if (!prepared.failure.empty()) {
    row.error = prepared.failure;
    return row;
  }
  prepared.session->SetPhotoLine(coords[0], coords[1], coords[2], coords[3]);
  if (!prepared.session->Tension().ok())
    row.error = prepared.session->Tension().failure->English();
  row.session = std::move(prepared.session);
  return row;
}

}  // namespace

std::string BatchResultCells(const MeasurementSession* session) {
  if (session == nullptr)
    return ",,,,,,,,";
  const ShownResults& shown = session->Shown();
  const TensionOutcome& tension = session->Tension();
  std::string cells = "," + CsvCell(LabelCaption(shown.present_sag));
  for (const ShownText& estimate : shown.estimates)
    cells += "," + CsvCell(LabelCaption(estimate));
  cells += "," + CsvCell(LabelCaption(shown.present_tension));
  cells += "," + (tension.Governing ? FormatFixed(*tension.Governing, 1) : std::string());
  cells += "," + LabelCaption(shown.ratio);
  cells += "," + LabelCaption(shown.specified_sag);
  return cells;
}

int RunBatch(const MeasureOptions& options, const WireData& data, std::ostream& out,
             std::ostream& err, const CliContext& context) {
  if (std::filesystem::is_directory(options.batch))
    return RunSavedBatch(options, data, out, err, context);
  auto read = ReadWholeFile(options.batch, kLargestBatchBytes);
  if (!read) {
    err << "sarn measure: cannot read the batch file " << read.failure().English() << "\n";
    return kExitBadInput;
  }
  std::vector<uint8_t>& bytes = *read;
  // Text, not a photo or another binary file given by mistake: no NUL byte.
  if (std::find(bytes.begin(), bytes.end(), uint8_t{0}) != bytes.end()) {
    err << "sarn measure: " << options.batch << ": not a CSV text of photo,x1,y1,x2,y2 rows\n";
    return kExitBadInput;
  }
  std::string text(bytes.begin(), bytes.end());
  if (text.rfind("\xEF\xBB\xBF", 0) == 0)  // a byte-order mark, as spreadsheets write
    text.erase(0, 3);

  const std::filesystem::path base = std::filesystem::path(options.batch).parent_path();
  // --report and --annotated name folders here: one file per row.
  for (const std::string& folder : {options.report, options.annotated}) {
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder) &&
        !std::filesystem::create_directories(folder, error)) {
      err << "sarn measure: cannot make the folder " << folder << ": " << error.message() << "\n";
      return kExitBadInput;
    }
  }
  out << "photo," << kBatchResultHeader << "\n";
  CommandLineEvents events(err);
  int failures = 0;
  std::istringstream lines(text);
  std::string line;
  int line_number = 0;
  while (std::getline(lines, line)) {
    ++line_number;
    if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#')
      continue;
    const std::vector<std::string> cells = SplitCsvLine(line);
    if (line_number == 1 && !cells.empty() && cells[0] == "photo")
      continue;  // a header row
    RowResult row = MeasureRow(cells, line_number, base, options, data, context, &events);
    std::string notes = row.error;
    if (row.session) {
      // Warnings go beside the results, in the error column.
      for (const std::string& warning : row.session->Warnings())
        notes += (notes.empty() ? "" : "; ") + std::string("warning: ") + warning;
      if (!options.report.empty() || !options.annotated.empty()) {
        const std::string stem =
            std::filesystem::path(cells[0]).stem().string() + "-" + std::to_string(line_number);
        std::ostringstream why;
        const std::string report =
            options.report.empty()
                ? ""
                : (std::filesystem::path(options.report) / (stem + ".pdf")).string();
        const std::string annotated =
            options.annotated.empty()
                ? ""
                : (std::filesystem::path(options.annotated) / (stem + ".png")).string();
        if (!WriteMeasurementFiles(*row.session, report, annotated, context, why)) {
          notes += (notes.empty() ? "" : "; ") + why.str();
          if (row.error.empty())
            row.error = why.str();
        }
      }
    }
    out << CsvCell(cells.empty() ? std::string() : cells[0]) << BatchResultCells(row.session.get());
    while (!notes.empty() && notes.back() == '\n')
      notes.pop_back();
    out << ',' << CsvCell(notes) << '\n';
    if (!row.error.empty())
      ++failures;
  }
  return failures == 0 ? kExitSuccess : kExitEvaluationFailed;
}

}  // namespace sarn
