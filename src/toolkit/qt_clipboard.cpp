#include "toolkit/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace sarn::tk {

void QtClipboard::Clear() {
  QGuiApplication::clipboard()->clear();
}

void QtClipboard::SetText(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

}  // namespace sarn::tk
