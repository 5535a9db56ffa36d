#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QSize>
#include <QWidget>
#include <functional>
#include <optional>
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

  // Runs `action` once, from the event loop, after the window has been shown
  // maximised and the window system's first resize in that state has been
  // reported through on_resize: the inner size is then the real maximised
  // one, not the design size the window was built at. A window manager may
  // take a moment to maximise a new window; without one (or one that never
  // maximises) the action runs after kMaximizeWaitMs all the same.
  void RunWhenShownMaximized(std::function<void()> action);
  static constexpr int kMaximizeWaitMs = 3000;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Raises on_resize when the inner size, the outer size or the state
  // differs from what was last reported.
  void NotifyIfChanged();
  QMargins FrameMargins() const;
  void RunShownMaximizedAction();
  // Asks the window system again for the outer position and size code set
  // last, if a window manager has since put the window elsewhere or framed
  // it differently (see kHoldGeometryMs in window.cpp).
  void HoldRequestedGeometry();
  void RequestOuterPosition(QPoint frame_pixels);
  // Resizes the inner area so that the outer size is the one requested.
  void ApplyRequestedSize();
  // Starts (or restarts) the hold; requests older than the hold are dropped.
  void StartHolding();

  QSize reported_size_{-1, -1};
  QSize reported_outer_size_{-1, -1};
  int reported_state_ = -1;
  bool notifying_ = false;

  std::function<void()> shown_maximized_action_;
  bool shown_maximized_scheduled_ = false;

  // The outer top-left and size (pixels) last set by code, held for a short
  // while against a window manager that restores a geometry of its own.
  std::optional<QPoint> requested_position_;
  std::optional<int> requested_outer_width_, requested_outer_height_;
  QElapsedTimer requested_age_;
  int geometry_reasserts_ = 0;
};

}  // namespace sarn::tk
