#pragma once

#include <QPushButton>
#include <functional>
#include <string>

namespace sarn::tk {

class Button : public QPushButton {
 public:
  Button(const std::string& caption, QWidget* parent);

  std::function<void()> on_click;
};

}  // namespace sarn::tk
