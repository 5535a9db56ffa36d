#include "toolkit/picture_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

#include "toolkit/bgr_color.h"

namespace sarn::tk {

PictureBox::PictureBox(double unit_x_pixels, double unit_y_pixels, QWidget* parent)
    : QWidget(parent), unit_x_(unit_x_pixels), unit_y_(unit_y_pixels) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
}

void PictureBox::SetPicture(QImage picture) {
  picture_ = std::move(picture);
  update();
}

void PictureBox::RemovePicture() {
  picture_ = QImage();
  update();
}

LineShape& PictureBox::AddLine(int32_t bgr) {
  lines_.push_back(std::make_unique<LineShape>(bgr, [this] { update(); }));
  return *lines_.back();
}

void PictureBox::SetLeft(float left) {
  left_ = left;
  Place();
}

void PictureBox::SetTop(float top) {
  top_ = top;
  Place();
}

void PictureBox::SetSize(float width, float height) {
  width_ = width;
  height_ = height;
  Place();
}

void PictureBox::Place() {
  // Positions beyond the int range cannot be shown anyway; clamp them so the
  // widget geometry stays valid.
  auto to_int = [](double v) {
    return static_cast<int>(std::lround(std::clamp(v, -1.0e8, 1.0e8)));
  };
  setGeometry(to_int(left_), to_int(top_), std::max(0, to_int(width_)),
              std::max(0, to_int(height_)));
}

void PictureBox::SetMousePointer(int pointer) {
  mouse_pointer_ = pointer;
  if (pointer == 15)
    setCursor(Qt::SizeAllCursor);
  else
    unsetCursor();
}

int PictureBox::ButtonCode(Qt::MouseButtons buttons) {
  int code = 0;
  if (buttons & Qt::LeftButton)
    code += 1;
  if (buttons & Qt::RightButton)
    code += 2;
  if (buttons & Qt::MiddleButton)
    code += 4;
  return code;
}

int PictureBox::ShiftCode(Qt::KeyboardModifiers modifiers) {
  int code = 0;
  if (modifiers & Qt::ShiftModifier)
    code += 1;
  if (modifiers & Qt::ControlModifier)
    code += 2;
  if (modifiers & Qt::AltModifier)
    code += 4;
  return code;
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  painter.fillRect(area, palette().color(QPalette::Window));
  if (!picture_.isNull()) {
    const QRect source = area.intersected(picture_.rect());
    if (!source.isEmpty())
      painter.drawImage(source.topLeft(), picture_, source);
  }
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (const auto& line : lines_) {
    if (!line->Visible())
      continue;
    painter.setPen(QPen(ColorOfBgr(line->Color()), 1));
    painter.drawLine(QLineF(line->X1() * unit_x_, line->Y1() * unit_y_, line->X2() * unit_x_,
                            line->Y2() * unit_y_));
  }
}

void PictureBox::Raise(const MouseHandler& handler, int button, QMouseEvent* event) {
  event->accept();
  if (!handler)
    return;
  const QPointF at = event->position();
  handler(button, ShiftCode(event->modifiers()), static_cast<float>(at.x() / unit_x_),
          static_cast<float>(at.y() / unit_y_));
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  Raise(on_mouse_down, ButtonCode(event->button()), event);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
  Raise(on_mouse_move, ButtonCode(event->buttons()), event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  Raise(on_mouse_up, ButtonCode(event->button()), event);
}

}  // namespace sarn::tk
