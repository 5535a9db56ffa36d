#include "toolkit/japanese_ui.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace sarn::tk {

QString QtTranslationFolder() {
  return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool InstallJapaneseInterface() {
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  QLocale::setDefault(japanese);
  // One translator for the life of the application, installed once.
  static QTranslator* translator = nullptr;
  if (translator != nullptr)
    return true;
  auto* loaded = new QTranslator(QCoreApplication::instance());
  if (!loaded->load(QString::fromLatin1(kQtCatalogue), QtTranslationFolder())) {
    delete loaded;
    return false;
  }
  QCoreApplication::installTranslator(loaded);
  translator = loaded;
  return true;
}

}  // namespace sarn::tk
