#include "toolkit/control_fonts.h"

#include <QApplication>

namespace sarn::tk {

void InstallControlFonts() {
  QFont::insertSubstitution(QString::fromUtf8(kControlFontFamily),
                            QString::fromUtf8(kInstalledFontFamily));
  QFont::insertSubstitution(QStringLiteral("MS PGothic"), QString::fromUtf8(kInstalledFontFamily));
  QApplication::setFont(ControlFont(9));
}

QFont ControlFont(double points) {
  QFont font(QString::fromUtf8(kControlFontFamily));
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  return font;
}

}  // namespace sarn::tk
