#pragma once

#include <QLineEdit>
#include <functional>
#include <string>

namespace sarn::tk {

// A one-line text box. on_change is raised synchronously on every change of
// the text, by typing or by SetText, and only when the text changes.
class TextBox : public QLineEdit {
 public:
  TextBox(const std::string& text, QWidget* parent);

  std::string Text() const { return text_; }
  void SetText(const std::string& text);

  std::function<void()> on_change;

 private:
  std::string text_;
};

}  // namespace sarn::tk
