#pragma once

#include <QCheckBox>
#include <functional>
#include <string>

namespace sarn::tk {

// A check box holding Value 0 or 1. on_click is raised synchronously on every
// change of the value, whether the user clicked or code called SetValue, and
// only when the value actually changes; handlers may therefore nest.
class CheckBox : public QCheckBox {
 public:
  CheckBox(const std::string& caption, QWidget* parent);

  int Value() const { return value_; }
  void SetValue(int value);

  std::function<void()> on_click;

 private:
  int value_ = 0;
};

}  // namespace sarn::tk
