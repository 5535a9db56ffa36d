#pragma once

// The window speaks Japanese whatever the user's LANG: Qt's own texts (the
// file dialogs' "Look in", "File name", the buttons of message boxes) come
// from Qt's Japanese catalogue, and the locale of every widget is Japanese
// (dates in the file dialog, the decimal point of Qt's own number boxes).

#include <QString>

namespace sarn::tk {

// Qt's catalogue of its own texts: qtbase_ja.qm in Qt's translation folder
// (Debian package qt6-translations-l10n).
inline constexpr const char* kQtCatalogue = "qtbase_ja";

// Makes Japanese the default locale and installs Qt's Japanese catalogue on
// the running application. False when the catalogue is not installed (the
// dialogs then stay in Qt's English); everything else still works.
bool InstallJapaneseInterface();

// The folder Qt looks in for its catalogues.
QString QtTranslationFolder();

}  // namespace sarn::tk
