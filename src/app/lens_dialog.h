#pragma once

// "カメラ・レンズ": a camera and lens from lensfun's database and the focal
// length, for a photo whose EXIF does not name them.

#include <QDialog>
#include <optional>
#include <vector>

#include "photo/lens_correction.h"

class QLineEdit;
class QListWidget;
class QDoubleSpinBox;
class QDialogButtonBox;

namespace sarn {

class LensDialog : public QDialog {
 public:
  // Starts from `start` (a manual choice), else from the photo's EXIF.
  LensDialog(QWidget* parent, const LensChoice& start, const PhotoExif& photo);
  // The choice, once accepted (Manual).
  LensChoice Choice() const;

  // For tests: the search box, the camera and lens lists.
  QLineEdit* Search() const { return search_; }
  QListWidget* Cameras() const { return cameras_; }
  QListWidget* Lenses() const { return lenses_; }
  QDoubleSpinBox* Focal() const { return focal_; }

 private:
  void FillCameras();
  void FillLenses();
  void FitFocal();

  QLineEdit* search_ = nullptr;
  QListWidget* cameras_ = nullptr;
  QListWidget* lenses_ = nullptr;
  QDoubleSpinBox* focal_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  std::vector<LensDatabase::Camera> camera_list_;
  std::vector<LensDatabase::Lens> lens_list_;
  std::string wanted_lens_;
};

}  // namespace sarn
