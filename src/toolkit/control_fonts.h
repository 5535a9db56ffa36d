#pragma once

// Fonts of the window. Controls with a font of their own name "ＭＳ Ｐゴシック"
// at a point size; that family is mapped to the installed IPA P Gothic so
// that every Japanese caption has glyphs.

#include <QFont>

namespace sarn::tk {

inline constexpr const char* kControlFontFamily = "ＭＳ Ｐゴシック";
inline constexpr const char* kInstalledFontFamily = "IPAPGothic";

// Registers the substitution and makes the application's default font a
// Japanese-capable one (9 pt, the size the control layout is drawn for).
void InstallControlFonts();

// "ＭＳ Ｐゴシック", regular weight, at `points`.
QFont ControlFont(double points);

}  // namespace sarn::tk
