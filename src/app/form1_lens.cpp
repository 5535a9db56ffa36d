// Form1's lens correction: the context menu's レンズ補正 tick and its
// カメラ・レンズ… dialog, and the advice shown once per photo when the
// photo's lens bends the sag noticeably while correction is off.

#include <QAction>
#include <QTimer>

#include "app/form1.h"
#include "app/lens_dialog.h"

namespace sarn {

void Form1::CreateLensActions() {
  LensAction = new QAction(QString::fromUtf8("レンズ補正"), Frame1);
  LensAction->setCheckable(true);
  LensAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  LensAction->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(LensAction, &QAction::toggled, [this](bool on) { SetLensCorrection(on); });
  CameraLensAction = new QAction(QString::fromUtf8("カメラ・レンズ…"), Frame1);
  CameraLensAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
  CameraLensAction->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(CameraLensAction, &QAction::triggered, [this] { ChooseCameraLens(); });
}

// On: the camera and lens chosen in the dialog, else the photo's EXIF.
void Form1::SetLensCorrection(bool on) {
  if (LensAction->isChecked() != on) {
    LensAction->setChecked(on);  // raises this again through toggled
    return;
  }
  LensChoice choice;
  if (on) {
    choice = manual_lens_;
    if (choice.mode != LensMode::Manual)
      choice.mode = LensMode::Auto;
  }
  session_.SetLens(choice);
  // Choosing another lens does not help when lensfun itself is missing.
  if (const std::optional<Failure> why = session_.LensNotApplied(); on && why)
    dialogs_.MessageOk(why->message() == MessageId::kLensLibraryMissing
                           ? why->Japanese()
                           : Failure(MessageId::kLensNotAppliedPick, {*why}).Japanese());
}

void Form1::ChooseCameraLens() {
  LensDialog dialog(this, manual_lens_, session_.PhotoCamera());
  if (dialog.exec() != QDialog::Accepted)
    return;
  const LensChoice choice = dialog.Choice();
  if (choice.mode != LensMode::Manual)
    return;
  manual_lens_ = choice;
  if (LensAction->isChecked())
    session_.SetLens(manual_lens_);
  else
    LensAction->setChecked(true);
}

void Form1::AdviseLensCorrection() {
  const std::optional<double> change = session_.LensCorrectionAdvised();
  if (!change || session_.PhotoPath() == lens_advised_for_)
    return;
  lens_advised_for_ = session_.PhotoPath();
  const std::string text = session_.LensWarning()->Japanese();
  // After the chain has run to its end: the message box waits for the user.
  QTimer::singleShot(0, this, [this, text] { dialogs_.MessageOk(text); });
}

}  // namespace sarn
