#pragma once

#include <QCursor>
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

  // The ordinary pointer while a question or message waits for the user in
  // the middle of the busy work.
  class Pause {
   public:
    Pause() { QGuiApplication::restoreOverrideCursor(); }
    ~Pause() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;
  };
};

}  // namespace sarn::tk
