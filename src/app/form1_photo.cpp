// Form1's photo: the file choice, the loading with its recovery, the window
// fit, and the display options Check2, Check4 and Check5.

#include <optional>
#include <string>
#include <utility>

#include "app/form1.h"
#include "app/recent_files.h"
#include "state/numeric.h"
#include "toolkit/busy_cursor.h"
#include "toolkit/raster_image.h"

namespace sarn {

void Form1::Command1_Click() {
  // The last choice of this session, else the folder of the last one.
  const std::string initial = dialog_file_name_.empty()
                                  ? RecentFiles::LastFolder(RecentFiles::Dialog::Photo)
                                  : dialog_file_name_;
  const std::optional<std::string> chosen = dialogs_.OpenPhoto(initial);
  if (!chosen) {
    unsetCursor();
    return;
  }
  OpenPhoto(*chosen);
}

void Form1::OpenPhoto(const std::string& path) {
  dialog_file_name_ = path;
  // A file that yields no image leaves everything as before the choice, the
  // photo's path included, so Check4 keeps reloading the photo that is shown.
  LoadFrom(path);
  unsetCursor();
}

bool Form1::LoadPhoto() {
  return LoadFrom(session_.PhotoPath());
}

bool Form1::LoadFrom(const std::string& path) {
  LoadSettings settings;
  settings.limit_text = Text5->Text();
  settings.cut = Check4->Value() == 1;
  settings.auto_adjust = Check5->Value() == 1;

  busy_.emplace();
  // `result` keeps the replaced photo alive until the boxes have let go of it.
  PhotoLoadResult result =
      session_.LoadPhoto(path, settings, InnerWidth(), *this, tk::DecodeImageWithQt);
  busy_.reset();
  ShowSettings(result.settings);
  if (result.loaded()) {
    RecentFiles::AddPhoto(path);
    loaded_settings_ = result.settings;
    ShowLoadedPhoto();
    // A photo whose data ends early is shown as far as it goes, and said so.
    if (const std::optional<int> row = session_.Photo()->first_missing_photo_row)
      dialogs_.MessageOk(IncompletePhotoFailure(*row).Japanese());
    return true;
  }
  dialogs_.MessageOk(result.message);
  if (result.end_program)
    dialogs_.EndProgram();
  return false;
}

// The recovery's changes show at once: Check5's click greys Text5, and the
// lowered limit is repainted before the next attempt.
void Form1::ShowSettings(const LoadSettings& settings) {
  Text5->SetText(settings.limit_text);
  Check5->SetValue(settings.auto_adjust ? 1 : 0);
  Text5->repaint();
  Check5->repaint();
}

void Form1::SettingsChanged(const LoadSettings& now) {
  ShowSettings(now);
}

bool Form1::AskRetry() {
  const tk::BusyCursor::Pause pause;
  return dialogs_.AskYesNo(std::string(kRetryQuestionText));
}

void Form1::HideGuideLines() {
  for (auto* line : Line1)
    line->SetVisible(false);
  for (auto* line : Line2)
    line->SetVisible(false);
  for (auto* line : Line3)
    line->SetVisible(false);
  for (auto* line : Line4)
    line->SetVisible(false);
  ShowTrace();
}

void Form1::ShowLoadedPhoto() {
  const LoadedPhoto& photo = *session_.Photo();
  // The boxes show the rasters without a copy: let go of the old ones first.
  Picture2->RemovePicture();
  Picture1->RemovePicture();
  HideGuideLines();

  Picture2->SetSize(photo.plan.W2, photo.plan.H2);
  Picture2->SetPicture(tk::ImageOfRaster(photo.working));

  // Its click hides Picture2 and shows Picture1 if it was checked.
  Check2->SetValue(0);

  Picture1->SetSize(photo.overview_plan.picture_width, photo.overview_plan.picture_height);
  Picture1->SetPicture(tk::ImageOfRaster(photo.overview));
  Picture1->SetTop(0);
  Picture1->show();
  FitWindowToOverview();
}

void Form1::FitWindowToOverview() {
  // A normal window takes the overview's height plus 42 pixels, converted
  // with the window's own outer/inner ratio, never taller than when
  // maximised. A maximised window cannot be sized; MaxHeight is 0 only when
  // the window has never been maximised, and then nothing limits it.
  if (WindowState() == kStateNormal && InnerHeight() > 0) {
    const double outer = (Picture1->Height() + 42.0) * OuterHeight() / InnerHeight();
    SetOuterHeight(outer);
    if (MaxHeight > 0 && OuterHeight() > MaxHeight)
      SetOuterHeight(MaxHeight);
  }
  // A maximised window taller than the overview needs becomes a normal
  // window at the top-left corner, as high as the overview plus 30 pixels.
  if (WindowState() == kStateMaximized &&
      static_cast<float>(Picture1->Height() + 30.0f) < static_cast<float>(InnerHeight())) {
    SavedWidth = RoundToInt32(OuterWidth() - 120.0).value_or(SavedWidth);
    SetWindowState(kStateNormal);
    SetOuterHeight((Picture1->Height() + 30.0) * TwipsPerPixelY());
    SetOuterWidth(SavedWidth);
    SetOuterTop(0);
    SetOuterLeft(0);
  }
}

void Form1::Check2_Click() {
  if (Check2->Value() == 1) {
    Picture1->hide();
    Picture2->show();
  } else {
    Picture2->hide();
    Picture1->show();
  }
}

void Form1::Check4_Click() {
  if (session_.PhotoPath().empty())
    return;
  if (Check5->Value() == 1 && Check4->Value() == 1)
    Text5->SetText("5000");
  LoadPhoto();
}

void Form1::Check5_Click() {
  Text5->setEnabled(Check5->Value() != 1);
}

}  // namespace sarn
