#include "toolkit/window.h"

#include <QEvent>
#include <QScreen>
#include <cmath>

namespace sarn::tk {

namespace {

int PixelsOf(double twips, double twips_per_pixel) {
  return static_cast<int>(std::lround(twips / twips_per_pixel));
}

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
  move(PixelsOf(twips, TwipsPerPixelX()), frameGeometry().y());
  NotifyIfChanged();
}

void Window::SetOuterTop(double twips) {
  move(frameGeometry().x(), PixelsOf(twips, TwipsPerPixelY()));
  NotifyIfChanged();
}

void Window::SetOuterWidth(double twips) {
  const QMargins m = FrameMargins();
  resize(std::max(1, PixelsOf(twips, TwipsPerPixelX()) - m.left() - m.right()), height());
  NotifyIfChanged();
}

void Window::SetOuterHeight(double twips) {
  const QMargins m = FrameMargins();
  resize(width(), std::max(1, PixelsOf(twips, TwipsPerPixelY()) - m.top() - m.bottom()));
  NotifyIfChanged();
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

void Window::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  NotifyIfChanged();
}

void Window::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange)
    NotifyIfChanged();
}

void Window::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  NotifyIfChanged();
}

void Window::NotifyIfChanged() {
  if (notifying_)
    return;
  const QSize now = size();
  const int state = WindowState();
  if (now == reported_size_ && state == reported_state_)
    return;
  reported_size_ = now;
  reported_state_ = state;
  notifying_ = true;
  if (on_resize)
    on_resize();
  notifying_ = false;
  // The handler may itself have changed the size (it does not in this
  // program, but a second report keeps the rule "every change is reported").
  if (size() != reported_size_ || WindowState() != reported_state_)
    NotifyIfChanged();
}

}  // namespace sarn::tk
