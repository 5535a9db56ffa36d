#pragma once

#include <QLineEdit>
#include <functional>
#include <string>

namespace sarn::tk {

// A one-line text box. on_change is raised synchronously on every change of
// the text, by typing or by SetText, and only when the text changes.
//
// A box too narrow for its text at its font (the layout's sizes suit a
// narrower font than the one installed) keeps its size and shows its whole text as a
// tooltip; the tooltip is empty while the text fits.
class TextBox : public QLineEdit {
 public:
  TextBox(const std::string& text, QWidget* parent);

  std::string Text() const { return text_; }
  void SetText(const std::string& text);

  // True when the text does not fit the box's text area.
  bool TextCut() const;

  std::function<void()> on_change;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void UpdateToolTip();

  std::string text_;
};

}  // namespace sarn::tk
