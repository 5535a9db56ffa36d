#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "toolkit/line_shape.h"

namespace sarn::tk {

// A picture box: shows a picture (QImage) at its top-left and the line shapes
// over it. Its own unit is unit_x_pixels x unit_y_pixels window pixels
// (Picture1: 15.06 x 15 twips = 1.004 x 1 px; Picture2: 1 px); line ends and
// pointer positions are in that unit. Left, Top, Width and Height are floats
// in window pixels (the widget stands at their rounded values).
class PictureBox : public QWidget {
 public:
  PictureBox(double unit_x_pixels, double unit_y_pixels, QWidget* parent);

  // Mouse events: button 1 left, 2 right, 4 middle (during a move the sum of
  // the buttons held); shift 1 Shift, 2 Ctrl, 4 Alt; x, y in box units.
  using MouseHandler = std::function<void(int button, int shift, float x, float y)>;
  MouseHandler on_mouse_down, on_mouse_move, on_mouse_up;

  void SetPicture(QImage picture);
  void RemovePicture();
  const QImage& Picture() const { return picture_; }

  // Adds a line shape (hidden, ends at 0) and returns it; the box owns it.
  LineShape& AddLine(int32_t bgr);
  int LineCount() const { return static_cast<int>(lines_.size()); }

  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void SetLeft(float left);
  void SetTop(float top);
  void SetSize(float width, float height);

  // 0 the default arrow, 15 the four-way size-all arrow.
  int MousePointer() const { return mouse_pointer_; }
  void SetMousePointer(int pointer);

  double UnitXPixels() const { return unit_x_; }
  double UnitYPixels() const { return unit_y_; }

  // Maps a mouse button set to the 1/2/4 sum.
  static int ButtonCode(Qt::MouseButtons buttons);
  static int ShiftCode(Qt::KeyboardModifiers modifiers);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Raise(const MouseHandler& handler, int button, QMouseEvent* event);
  void Place();

  double unit_x_, unit_y_;
  QImage picture_;
  std::vector<std::unique_ptr<LineShape>> lines_;
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int mouse_pointer_ = 0;
};

}  // namespace sarn::tk
