#include "toolkit/label.h"

#include <QMouseEvent>
#include <QPalette>

#include "toolkit/bgr_color.h"

namespace sarn::tk {

Label::Label(const std::string& caption, QWidget* parent)
    : QLabel(QString::fromStdString(caption), parent), caption_(caption) {
  setTextFormat(Qt::PlainText);
  adjustSize();
}

void Label::SetCaption(const std::string& caption) {
  caption_ = caption;
  setText(QString::fromStdString(caption));
  adjustSize();
}

void Label::SetBackColor(int32_t bgr) {
  back_color_ = bgr;
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ColorOfBgr(bgr));
  setPalette(palette);
  setAutoFillBackground(true);
  update();
}

void Label::SetFontAndResize(const QFont& font) {
  setFont(font);
  adjustSize();
}

void Label::mousePressEvent(QMouseEvent* event) {
  event->accept();
}

void Label::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && on_click)
    on_click();
}

void Label::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  if (on_dbl_click)
    on_dbl_click();
}

}  // namespace sarn::tk
