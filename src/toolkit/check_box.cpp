#include "toolkit/check_box.h"

namespace sarn::tk {

CheckBox::CheckBox(const std::string& caption, QWidget* parent)
    : QCheckBox(QString::fromStdString(caption), parent) {
  connect(this, &QCheckBox::toggled, this, [this](bool checked) {
    const int value = checked ? 1 : 0;
    if (value == value_)
      return;
    value_ = value;
    if (on_click)
      on_click();
  });
}

void CheckBox::SetValue(int value) {
  setChecked(value != 0);
}

}  // namespace sarn::tk
