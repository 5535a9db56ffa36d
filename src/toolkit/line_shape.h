#pragma once

#include <cstdint>
#include <functional>

namespace sarn::tk {

// A straight line drawn over a picture box, end points in the box's own
// units (32-bit floats), with a colour (0x00BBGGRR) and a visibility. Every
// change asks the owning box to repaint.
class LineShape {
 public:
  LineShape(int32_t bgr, std::function<void()> repaint)
      : color_(bgr), repaint_(std::move(repaint)) {}

  float X1() const { return x1_; }
  float Y1() const { return y1_; }
  float X2() const { return x2_; }
  float Y2() const { return y2_; }
  bool Visible() const { return visible_; }
  int32_t Color() const { return color_; }

  void SetX1(float v) { Assign(x1_, v); }
  void SetY1(float v) { Assign(y1_, v); }
  void SetX2(float v) { Assign(x2_, v); }
  void SetY2(float v) { Assign(y2_, v); }
  void SetVisible(bool visible) {
    visible_ = visible;
    repaint_();
  }
  void SetEnds(float x1, float y1, float x2, float y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    repaint_();
  }

 private:
  void Assign(float& target, float v) {
    target = v;
    repaint_();
  }

  float x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
  bool visible_ = false;
  int32_t color_;
  std::function<void()> repaint_;
};

}  // namespace sarn::tk
