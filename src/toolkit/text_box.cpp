#include "toolkit/text_box.h"

namespace sarn::tk {

TextBox::TextBox(const std::string& text, QWidget* parent)
    : QLineEdit(QString::fromStdString(text), parent), text_(text) {
  connect(this, &QLineEdit::textChanged, this, [this](const QString& now) {
    std::string utf8 = now.toStdString();
    if (utf8 == text_)
      return;
    text_ = std::move(utf8);
    if (on_change)
      on_change();
  });
}

void TextBox::SetText(const std::string& text) {
  setText(QString::fromStdString(text));
}

}  // namespace sarn::tk
