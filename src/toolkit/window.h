#pragma once

#include <QSize>
#include <QWidget>
#include <functional>
#include <string>

namespace sarn::tk {

// The top-level window. The inner area is measured in pixels; the outer
// position and size (frame included) in twips, 1/1440 inch, converted with
// the screen's actual resolution (15 twips per pixel at 96 dpi). on_resize is
// raised whenever the inner size or the state changes, also when code made
// the change, synchronously before the setter returns.
class Window : public QWidget {
 public:
  static constexpr int kStateNormal = 0;
  static constexpr int kStateMaximized = 2;

  explicit Window(QWidget* parent = nullptr);

  int InnerWidth() const { return width(); }
  int InnerHeight() const { return height(); }

  double OuterLeft() const;
  double OuterTop() const;
  double OuterWidth() const;
  double OuterHeight() const;
  void SetOuterLeft(double twips);
  void SetOuterTop(double twips);
  void SetOuterWidth(double twips);
  void SetOuterHeight(double twips);

  // 0 normal, 2 maximised.
  int WindowState() const;
  void SetWindowState(int state);

  std::string Caption() const { return windowTitle().toStdString(); }
  void SetCaption(const std::string& caption);

  double TwipsPerPixelX() const;
  double TwipsPerPixelY() const;

  std::function<void()> on_resize;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Raises on_resize when the inner size or the state differs from what was
  // last reported.
  void NotifyIfChanged();
  QMargins FrameMargins() const;

  QSize reported_size_{-1, -1};
  int reported_state_ = -1;
  bool notifying_ = false;
};

}  // namespace sarn::tk
