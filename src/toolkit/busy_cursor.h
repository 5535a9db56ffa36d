#pragma once

#include <QGuiApplication>

namespace sarn::tk {

// The busy (hourglass) pointer over the whole application for the lifetime
// of the object.
class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace sarn::tk
