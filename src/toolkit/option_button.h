#pragma once

#include <QRadioButton>
#include <functional>
#include <string>

namespace sarn::tk {

// An option button; the buttons of one container form one group. on_click is
// raised when the button becomes selected, by the user or by SetValue(true),
// and only then.
class OptionButton : public QRadioButton {
 public:
  OptionButton(const std::string& caption, QWidget* parent);

  bool Value() const { return isChecked(); }
  void SetValue(bool value) { setChecked(value); }

  std::function<void()> on_click;
};

}  // namespace sarn::tk
