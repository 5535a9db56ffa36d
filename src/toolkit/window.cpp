#include "toolkit/window.h"

#include <QEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cmath>

namespace sarn::tk {

namespace {

int PixelsOf(double twips, double twips_per_pixel) {
  return static_cast<int>(std::lround(twips / twips_per_pixel));
}

// How long, and how often, an outer position or size set by code is asked for
// again when a window manager puts the window elsewhere. Openbox, asked to
// leave the maximised state and then to move to the corner where the
// maximised frame already lies, restores its own remembered position (Qt
// sends no move for a position it believes unchanged), and a size asked for
// while maximised was converted with the maximised frame, which has no
// borders. A user who moves or sizes the window later than this is never
// overruled.
constexpr qint64 kHoldGeometryMs = 2000;
constexpr int kMaxGeometryReasserts = 4;

}  // namespace

Window::Window(QWidget* parent) : QWidget(parent) {}

double Window::TwipsPerPixelX() const {
  const double dpi = logicalDpiX();
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

double Window::TwipsPerPixelY() const {
  const double dpi = logicalDpiY();
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

QMargins Window::FrameMargins() const {
  const QRect frame = frameGeometry();
  const QRect inner = geometry();
  return QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                  frame.right() - inner.right(), frame.bottom() - inner.bottom());
}

double Window::OuterLeft() const {
  return frameGeometry().x() * TwipsPerPixelX();
}
double Window::OuterTop() const {
  return frameGeometry().y() * TwipsPerPixelY();
}
double Window::OuterWidth() const {
  return frameGeometry().width() * TwipsPerPixelX();
}
double Window::OuterHeight() const {
  return frameGeometry().height() * TwipsPerPixelY();
}

void Window::SetOuterLeft(double twips) {
  StartHolding();
  const int top = requested_position_ ? requested_position_->y() : frameGeometry().y();
  RequestOuterPosition(QPoint(PixelsOf(twips, TwipsPerPixelX()), top));
  NotifyIfChanged();
}

void Window::SetOuterTop(double twips) {
  StartHolding();
  const int left = requested_position_ ? requested_position_->x() : frameGeometry().x();
  RequestOuterPosition(QPoint(left, PixelsOf(twips, TwipsPerPixelY())));
  NotifyIfChanged();
}

void Window::RequestOuterPosition(QPoint frame_pixels) {
  move(frame_pixels);
  requested_position_ = frame_pixels;
  // move() sends nothing when Qt's idea of the position already matches,
  // which is the case right after leaving the maximised state at 0,0 while
  // the window manager has yet to restore its own normal geometry: ask the
  // window system directly, in order after the state change.
  if (isVisible() && windowHandle())
    windowHandle()->setFramePosition(frame_pixels);
}

void Window::HoldRequestedGeometry() {
  if (!requested_age_.isValid() || requested_age_.elapsed() > kHoldGeometryMs ||
      geometry_reasserts_ >= kMaxGeometryReasserts || WindowState() != kStateNormal ||
      !windowHandle())
    return;
  const QRect frame = frameGeometry();
  const bool wrong_width = requested_outer_width_ && frame.width() != *requested_outer_width_;
  const bool wrong_height = requested_outer_height_ && frame.height() != *requested_outer_height_;
  if (wrong_width || wrong_height) {
    ++geometry_reasserts_;
    ApplyRequestedSize();
  }
  if (requested_position_ && frame.topLeft() != *requested_position_) {
    ++geometry_reasserts_;
    windowHandle()->setFramePosition(*requested_position_);
  }
}

void Window::SetOuterWidth(double twips) {
  StartHolding();
  requested_outer_width_ = PixelsOf(twips, TwipsPerPixelX());
  ApplyRequestedSize();
  NotifyIfChanged();
}

void Window::SetOuterHeight(double twips) {
  StartHolding();
  requested_outer_height_ = PixelsOf(twips, TwipsPerPixelY());
  ApplyRequestedSize();
  NotifyIfChanged();
}

void Window::StartHolding() {
  if (!requested_age_.isValid() || requested_age_.elapsed() > kHoldGeometryMs) {
    requested_position_.reset();
    requested_outer_width_.reset();
    requested_outer_height_.reset();
  }
  requested_age_.start();
  geometry_reasserts_ = 0;
}

void Window::ApplyRequestedSize() {
  // The outer size less the frame as it is now (a maximised frame may have
  // no borders; the hold converts again once the normal frame is known).
  const QMargins m = FrameMargins();
  const int inner_width = requested_outer_width_
                              ? std::max(1, *requested_outer_width_ - m.left() - m.right())
                              : width();
  const int inner_height = requested_outer_height_
                               ? std::max(1, *requested_outer_height_ - m.top() - m.bottom())
                               : height();
  resize(inner_width, inner_height);
}

int Window::WindowState() const {
  return (windowState() & Qt::WindowMaximized) ? kStateMaximized : kStateNormal;
}

void Window::SetWindowState(int state) {
  Qt::WindowStates states = windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized);
  if (state == kStateMaximized)
    states |= Qt::WindowMaximized;
  setWindowState(states);
  NotifyIfChanged();
}

void Window::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void Window::RunWhenShownMaximized(std::function<void()> action) {
  shown_maximized_action_ = std::move(action);
  shown_maximized_scheduled_ = false;
  QTimer::singleShot(kMaximizeWaitMs, this, [this] { RunShownMaximizedAction(); });
}

void Window::RunShownMaximizedAction() {
  if (!shown_maximized_action_)
    return;
  // The window manager's frame extents may have arrived after the resize:
  // the outer height recorded while maximised is taken from the frame as it
  // is now.
  NotifyIfChanged();
  const std::function<void()> action = std::move(shown_maximized_action_);
  shown_maximized_action_ = nullptr;
  action();
}

void Window::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  NotifyIfChanged();
  // A resize that comes from the window system (not from code, nor the
  // design size sent when the window is first shown) in the maximised state
  // is the window manager's maximised geometry.
  if (event->spontaneous() && shown_maximized_action_ && !shown_maximized_scheduled_ &&
      isVisible() && WindowState() == kStateMaximized) {
    shown_maximized_scheduled_ = true;
    QTimer::singleShot(0, this, [this] { RunShownMaximizedAction(); });
  }
  if (event->spontaneous())
    HoldRequestedGeometry();
}

void Window::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (event->spontaneous())
    HoldRequestedGeometry();
}

void Window::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) {
    NotifyIfChanged();
    if (event->spontaneous())
      HoldRequestedGeometry();
  }
}

void Window::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  NotifyIfChanged();
}

void Window::NotifyIfChanged() {
  if (notifying_)
    return;
  const QSize now = size();
  const QSize outer = frameGeometry().size();
  const int state = WindowState();
  if (now == reported_size_ && outer == reported_outer_size_ && state == reported_state_)
    return;
  reported_size_ = now;
  reported_outer_size_ = outer;
  reported_state_ = state;
  notifying_ = true;
  if (on_resize)
    on_resize();
  notifying_ = false;
  // The handler may itself have changed the size (it does not in this
  // program, but a second report keeps the rule "every change is reported").
  if (size() != reported_size_ || frameGeometry().size() != reported_outer_size_ ||
      WindowState() != reported_state_)
    NotifyIfChanged();
}

}  // namespace sarn::tk
