#include "toolkit/text_box.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionFrame>

namespace sarn::tk {

namespace {
// QLineEdit draws its text this far inside the contents rectangle on each
// side, and keeps one pixel for the cursor.
constexpr int kLineEditInnerMargin = 2;
constexpr int kCursorWidth = 1;
}  // namespace

TextBox::TextBox(const std::string& text, QWidget* parent)
    : QLineEdit(QString::fromStdString(text), parent), text_(text) {
  connect(this, &QLineEdit::textChanged, this, [this](const QString& now) {
    UpdateToolTip();
    std::string utf8 = now.toStdString();
    if (utf8 == text_)
      return;
    text_ = std::move(utf8);
    if (on_change)
      on_change();
  });
  UpdateToolTip();
}

void TextBox::SetText(const std::string& text) {
  setText(QString::fromStdString(text));
}

bool TextBox::TextCut() const {
  QStyleOptionFrame option;
  initStyleOption(&option);
  const QRect contents = style()
                             ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                             .marginsRemoved(textMargins());
  const int room = contents.width() - 2 * kLineEditInnerMargin - kCursorWidth;
  return fontMetrics().horizontalAdvance(text()) > room;
}

void TextBox::UpdateToolTip() {
  setToolTip(TextCut() ? text() : QString());
}

void TextBox::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  UpdateToolTip();
}

void TextBox::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
    UpdateToolTip();
}

}  // namespace sarn::tk
