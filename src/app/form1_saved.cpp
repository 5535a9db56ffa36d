// Form1's saved measurements: 測定を保存… writes the photo, the line, every
// input, the modes and the results shown to NAME.sarn.json; 測定を開く… loads
// the photo again, restores every input and the line, runs the chain and
// says what differs from the saved measurement. A file that cannot be used
// changes nothing.

#include <QAction>
#include <QSignalBlocker>
#include <filesystem>
#include <functional>
#include <utility>

#include "app/form1.h"
#include "app/recent_files.h"
#include "session/saved_measurement.h"
#include "toolkit/raster_image.h"

namespace sarn {
namespace {

constexpr const char* kMeasurementFilter = "Sarn 測定 (*.sarn.json)";

// Sets a control with its handler set aside: the session already holds the
// value, and the handler would run the chain again.
template <typename Control, typename Set>
void Quietly(Control* control, std::function<void()> Control::*handler, Set set) {
  std::function<void()> kept = std::exchange(control->*handler, nullptr);
  set();
  control->*handler = std::move(kept);
}

// The loading of a saved measurement's photo asks nothing: the limit is the
// saved one, and a retry at another limit would give other numbers.
class NoQuestions : public LoadQuestions {};

// "NAME.sarn.json" for a chosen name that ends in neither suffix.
std::string WithSuffix(const std::string& path) {
  if (path.ends_with(".json"))
    return path;
  return path + kSavedFileSuffix;
}

}  // namespace

void Form1::CreateMeasurementActions() {
  auto* separator = new QAction(Frame1);
  separator->setSeparator(true);
  SaveMeasurementAction = new QAction(QString::fromUtf8("測定を保存…"), Frame1);
  SaveMeasurementAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  SaveMeasurementAction->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(SaveMeasurementAction, &QAction::triggered, [this] { SaveMeasurement(); });
  OpenMeasurementAction = new QAction(QString::fromUtf8("測定を開く…"), Frame1);
  OpenMeasurementAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  OpenMeasurementAction->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(OpenMeasurementAction, &QAction::triggered, [this] { OpenMeasurement(); });
  for (QAction* action : {separator, SaveMeasurementAction, OpenMeasurementAction})
    Frame1->addAction(action);
}

void Form1::SaveMeasurement() {
  // Refused before the dialog: there is nothing a file name could change.
  if (!session_.Photo() || !session_.Line() || !session_.Scanned() || !loaded_settings_) {
    dialogs_.MessageOk(Failure(MessageId::kSavedNothingToSave).Japanese());
    return;
  }
  if (session_.ResultsStale()) {
    dialogs_.MessageOk(Failure(MessageId::kSavedStaleResults).Japanese());
    return;
  }
  // The file of this session, else the photo's name in the folder a
  // measurement was last saved or opened in, else beside the photo.
  std::string suggested = measurement_file_name_;
  if (suggested.empty()) {
    const std::filesystem::path photo(session_.PhotoPath());
    std::filesystem::path folder = RecentFiles::LastFolder(RecentFiles::Dialog::Measurement);
    if (folder.empty())
      folder = photo.parent_path();
    suggested = (folder / (photo.stem().string() + kSavedFileSuffix)).string();
  }
  const std::optional<std::string> chosen =
      dialogs_.SaveFileName("測定を保存", suggested, kMeasurementFilter);
  if (!chosen)
    return;
  SaveMeasurementTo(WithSuffix(*chosen));
}

bool Form1::SaveMeasurementTo(const std::string& path) {
  const Result<SavedMeasurement> captured =
      CaptureMeasurement(session_, loaded_settings_.value_or(LoadSettings{}), path);
  const Result<void> written =
      captured ? WriteSavedMeasurement(path, *captured) : Result<void>(captured.failure());
  if (!written) {
    dialogs_.MessageOk(written.failure().Japanese());
    return false;
  }
  measurement_file_name_ = path;
  RecentFiles::AddMeasurement(path);
  return true;
}

void Form1::OpenMeasurement() {
  // The file of this session, else the folder a measurement was last saved
  // or opened in, else the photo's.
  std::string initial = measurement_file_name_;
  if (initial.empty())
    initial = RecentFiles::LastFolder(RecentFiles::Dialog::Measurement);
  if (initial.empty() && !session_.PhotoPath().empty())
    initial = std::filesystem::path(session_.PhotoPath()).parent_path().string();
  const std::optional<std::string> chosen =
      dialogs_.OpenFileName("測定を開く", initial, kMeasurementFilter);
  if (chosen)
    OpenMeasurementFile(*chosen);
}

bool Form1::OpenMeasurementFile(const std::string& path) {
  // Everything that can refuse the file is asked before anything changes.
  const Result<SavedMeasurement> read = ReadSavedMeasurement(path);
  if (!read) {
    dialogs_.MessageOk(read.failure().Japanese());
    return false;
  }
  const SavedMeasurement& saved = *read;
  const Result<OpeningPlan> planned = PlanOpening(saved, path, session_.State().WireTable);
  if (!planned) {
    dialogs_.MessageOk(planned.failure().Japanese());
    return false;
  }
  const OpeningPlan& plan = *planned;

  NoQuestions no_questions;
  busy_.emplace();
  // `result` keeps the replaced photo alive until the boxes have let go of it.
  PhotoLoadResult result = session_.LoadPhoto(plan.photo_path, saved.inputs.load, InnerWidth(),
                                              no_questions, tk::DecodeImageWithQt);
  busy_.reset();
  unsetCursor();
  if (!result.loaded()) {
    // The session kept its photo; the program goes on whatever the loading
    // would have said about ending it.
    dialogs_.MessageOk(plan.photo_path + ": " + result.message);
    return false;
  }
  dialog_file_name_ = plan.photo_path;
  measurement_file_name_ = path;
  RecentFiles::AddPhoto(plan.photo_path);
  RecentFiles::AddMeasurement(path);
  loaded_settings_ = saved.inputs.load;
  ShowLoadedPhoto();
  ShowSettings(saved.inputs.load);
  ShowSavedInputs(saved, plan.wire_index);
  // The session runs the chain; its reports draw the chord and the marks,
  // fill the labels, tick the boxes and copy the result text.
  RestoreMeasurement(saved, plan.wire_index, session_);
  if (const auto& line = session_.Line()) {
    session_.TrackLine(*line);  // a threshold typed next scans along it, as after a drag
    Line1[0]->SetEnds(line->X1, line->Y1, line->X2, line->Y2);
    Line1[0]->SetVisible(true);
  }
  for (size_t i = 0; i < 3; ++i)
    Quietly(Check3[i], &tk::CheckBox::on_click, [&] { Check3[i]->SetValue(session_.Ticks()[i]); });
  ShowTrace();

  const std::string said =
      ReproductionText(saved, plan, session_.LensNotApplied(),
                       CompareResults(saved.results, session_), Language::kJapanese);
  if (!said.empty())
    dialogs_.MessageOk(said);
  return true;
}

// The panel shows the saved inputs; the session is given them by
// RestoreMeasurement, so no handler runs.
void Form1::ShowSavedInputs(const SavedMeasurement& saved, int16_t wire_index) {
  const SavedInputs& in = saved.inputs;
  auto text = [](tk::TextBox* box, const std::string& value) {
    Quietly(box, &tk::TextBox::on_change, [&] { box->SetText(value); });
  };
  text(Text1, in.threshold);
  text(Text2, in.span);
  text(Text3, in.air_temp);
  text(Text4[0], in.distance);
  text(Text4[1], in.height);
  text(Text6[0], in.design_temps[0]);
  text(Text6[1], in.design_temps[1]);
  Quietly(Combo1, &tk::ComboBox::on_click, [&] { Combo1->SetListIndex(wire_index); });
  Quietly(Check4, &tk::CheckBox::on_click, [&] { Check4->SetValue(in.load.cut ? 1 : 0); });
  // The other button of the group is cleared by Qt; only a selection raises.
  tk::OptionButton* option = Option1[in.criterion == Criterion::Darkness ? 1 : 0];
  Quietly(option, &tk::OptionButton::on_click, [&] { option->SetValue(true); });
  for (size_t i = 0; i < 3; ++i) {
    Quietly(Check6[i], &tk::CheckBox::on_click, [&] { Check6[i]->SetValue(in.corrections[i]); });
    Quietly(Check1[i], &tk::CheckBox::on_click,
            [&] { Check1[i]->SetValue(CombinationBoxes(in.classes)[i]); });
  }
  EnableCorrectionInputs();
  const QSignalBlocker blocker(PrecisionAction);
  PrecisionAction->setChecked(saved.modes.precision);
  // The tick shows the saved lens mode; a saved manual choice becomes the
  // dialog's, a saved "auto" ticks the tick for the photo's EXIF.
  const LensChoice lens = ParseLensChoice(saved.modes.lens).value_or(LensChoice{});
  if (lens.mode != LensMode::Off)
    manual_lens_ = lens.mode == LensMode::Manual ? lens : LensChoice{};
  const QSignalBlocker lens_blocker(LensAction);
  LensAction->setChecked(lens.mode != LensMode::Off);
}

}  // namespace sarn
