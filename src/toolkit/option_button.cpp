#include "toolkit/option_button.h"

namespace sarn::tk {

OptionButton::OptionButton(const std::string& caption, QWidget* parent)
    : QRadioButton(QString::fromStdString(caption), parent) {
  connect(this, &QRadioButton::toggled, this, [this](bool checked) {
    if (checked && on_click)
      on_click();
  });
}

}  // namespace sarn::tk
