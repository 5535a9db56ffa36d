#pragma once

#include <QPushButton>
#include <functional>
#include <string>

namespace sarn::tk {

// A push button whose caption wraps onto several lines when the button is
// too narrow for it (as "画像ファイル読み込み" on its 77-pixel button).
class Button : public QPushButton {
 public:
  Button(const std::string& caption, QWidget* parent);

  std::function<void()> on_click;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace sarn::tk
