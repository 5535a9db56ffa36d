#pragma once

#include <QLabel>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace sarn::tk {

// A label that sizes itself to its caption, with an optional back colour
// (0x00BBGGRR). A disabled label is drawn greyed. Click and DblClick are
// raised for presses on it (and are not passed on to the container).
class Label : public QLabel {
 public:
  Label(const std::string& caption, QWidget* parent);

  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // nullopt: transparent (the container shows through).
  std::optional<int32_t> BackColor() const { return back_color_; }
  void SetBackColor(int32_t bgr);

  // Re-sizes to the caption after a font change.
  void SetFontAndResize(const QFont& font);

  std::function<void()> on_click;
  std::function<void()> on_dbl_click;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  std::string caption_;
  std::optional<int32_t> back_color_;
};

}  // namespace sarn::tk
