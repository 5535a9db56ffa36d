#pragma once

// Colours as the window's controls hold them: a 32-bit integer 0x00BBGGRR
// (red in the low byte), converted to and from Qt colours.

#include <QColor>
#include <cstdint>

namespace sarn::tk {

inline constexpr int32_t kBgrRed = 0x0000FF;
inline constexpr int32_t kBgrGreen = 0x00FF00;
inline constexpr int32_t kBgrYellow = 0x00FFFF;
// The traced conductor of precision tracing: distinct from the red chord and
// marks and the green drawn line.
inline constexpr int32_t kBgrMagenta = 0xFF00FF;
inline constexpr int32_t kBgrLightGrey = 0xC0C0C0;

inline QColor ColorOfBgr(int32_t bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

inline int32_t BgrOfColor(const QColor& color) {
  return color.red() | (color.green() << 8) | (color.blue() << 16);
}

}  // namespace sarn::tk
