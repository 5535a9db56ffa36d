#include "toolkit/button.h"

namespace sarn::tk {

Button::Button(const std::string& caption, QWidget* parent)
    : QPushButton(QString::fromStdString(caption), parent) {
  setAutoDefault(false);
  connect(this, &QPushButton::clicked, this, [this] {
    if (on_click)
      on_click();
  });
}

}  // namespace sarn::tk
