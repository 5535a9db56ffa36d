#include "toolkit/button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace sarn::tk {

Button::Button(const std::string& caption, QWidget* parent)
    : QPushButton(QString::fromStdString(caption), parent) {
  setAutoDefault(false);
  connect(this, &QPushButton::clicked, this, [this] {
    if (on_click)
      on_click();
  });
}

void Button::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(rect().adjusted(3, 2, -3, -2),
                   Qt::AlignCenter | Qt::TextWordWrap | Qt::TextWrapAnywhere, text());
}

}  // namespace sarn::tk
