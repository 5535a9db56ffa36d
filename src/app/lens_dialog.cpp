#include "app/lens_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace sarn {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

LensDialog::LensDialog(QWidget* parent, const LensChoice& start, const PhotoExif& photo)
    : QDialog(parent) {
  setWindowTitle(QString::fromUtf8("カメラ・レンズ"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8("カメラを検索 (メーカー・機種名):"), this));
  search_ = new QLineEdit(this);
  layout->addWidget(search_);
  cameras_ = new QListWidget(this);
  layout->addWidget(cameras_, 2);
  layout->addWidget(new QLabel(QString::fromUtf8("レンズ:"), this));
  lenses_ = new QListWidget(this);
  layout->addWidget(lenses_, 1);
  auto* form = new QFormLayout;
  focal_ = new QDoubleSpinBox(this);
  focal_->setDecimals(1);
  focal_->setSuffix(" mm");
  focal_->setRange(0.5, 2000);
  form->addRow(QString::fromUtf8("焦点距離:"), focal_);
  layout->addLayout(form);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons_);
  resize(520, 520);

  QObject::connect(search_, &QLineEdit::textChanged, this, [this] { FillCameras(); });
  QObject::connect(cameras_, &QListWidget::currentRowChanged, this, [this] { FillLenses(); });
  QObject::connect(lenses_, &QListWidget::currentRowChanged, this, [this] { FitFocal(); });
  QObject::connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  QObject::connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

  const bool manual = start.mode == LensMode::Manual;
  wanted_lens_ = manual ? start.lens : photo.lens_model;
  search_->setText(Q(manual ? start.model : photo.model));
  if (cameras_->count() > 0)
    cameras_->setCurrentRow(0);
  const float focal =
      manual ? start.focal_mm : static_cast<float>(photo.focal_length_mm.value_or(0.0));
  if (focal > 0)
    focal_->setValue(focal);
}

void LensDialog::FillCameras() {
  camera_list_ = LensDatabase::SearchCameras(search_->text().toStdString());
  cameras_->clear();
  for (const auto& camera : camera_list_)
    cameras_->addItem(Q(camera.maker + "  " + camera.model));
  if (!camera_list_.empty())
    cameras_->setCurrentRow(0);
  FillLenses();
}

void LensDialog::FillLenses() {
  lenses_->clear();
  lens_list_.clear();
  const int row = cameras_->currentRow();
  if (row >= 0 && static_cast<size_t>(row) < camera_list_.size()) {
    const auto& camera = camera_list_[static_cast<size_t>(row)];
    lens_list_ = LensDatabase::LensesFor(camera.maker, camera.model);
  }
  int wanted = 0;
  for (size_t i = 0; i < lens_list_.size(); ++i) {
    lenses_->addItem(Q(lens_list_[i].maker + "  " + lens_list_[i].model));
    if (!wanted_lens_.empty() && lens_list_[i].model == wanted_lens_)
      wanted = static_cast<int>(i);
  }
  if (!lens_list_.empty())
    lenses_->setCurrentRow(wanted);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(!lens_list_.empty());
}

// The focal length within the lens's range (a prime's own).
void LensDialog::FitFocal() {
  const int row = lenses_->currentRow();
  if (row < 0 || static_cast<size_t>(row) >= lens_list_.size())
    return;
  const auto& lens = lens_list_[static_cast<size_t>(row)];
  if (lens.min_focal > 0 && lens.max_focal >= lens.min_focal) {
    const double value = focal_->value();
    focal_->setRange(lens.min_focal, lens.max_focal);
    focal_->setValue(value < lens.min_focal || value > lens.max_focal ? lens.min_focal : value);
  }
}

LensChoice LensDialog::Choice() const {
  LensChoice choice;
  const int camera = cameras_->currentRow(), lens = lenses_->currentRow();
  if (camera < 0 || lens < 0 || static_cast<size_t>(camera) >= camera_list_.size() ||
      static_cast<size_t>(lens) >= lens_list_.size())
    return choice;
  choice.mode = LensMode::Manual;
  choice.maker = camera_list_[static_cast<size_t>(camera)].maker;
  choice.model = camera_list_[static_cast<size_t>(camera)].model;
  choice.lens = lens_list_[static_cast<size_t>(lens)].model;
  choice.focal_mm = static_cast<float>(focal_->value());
  return choice;
}

}  // namespace sarn
