// Form1's remembered places: the submenu 最近使った写真 of the bottom panel's
// context menu, with the recent photos and then the recent measurements. The lists and the dialogs'
// last folders are kept by RecentFiles in the user's configuration folder.

#include <QFileInfo>

#include "app/form1.h"
#include "app/recent_files.h"

namespace sarn {
namespace {

// "span.jpg  (/home/user/photos)": the name first, which tells photos apart,
// and the folder for those of the same name.
QString EntryText(int number, const std::string& path) {
  const QFileInfo file(QString::fromStdString(path));
  // A number 1..9 as the entry's mnemonic; '&' in a name shows as itself.
  QString name = file.fileName();
  name.replace(QLatin1Char('&'), QStringLiteral("&&"));
  QString folder = file.absolutePath();
  folder.replace(QLatin1Char('&'), QStringLiteral("&&"));
  const QString prefix = number <= 9 ? QStringLiteral("&%1 ").arg(number) : QString();
  return prefix + name + QStringLiteral("  (") + folder + QLatin1Char(')');
}

}  // namespace

void Form1::CreateRecentMenu() {
  auto* separator = new QAction(Frame1);
  separator->setSeparator(true);
  Frame1->addAction(separator);
  RecentMenu = new QMenu(QString::fromUtf8("最近使った写真"), Frame1);
  QObject::connect(RecentMenu, &QMenu::aboutToShow, [this] { FillRecentMenu(); });
  Frame1->addAction(RecentMenu->menuAction());
  FillRecentMenu();
}

void Form1::FillRecentMenu() {
  RecentMenu->clear();
  int number = 1;
  for (const std::string& path : RecentFiles::Photos()) {
    QAction* entry = RecentMenu->addAction(EntryText(number++, path));
    entry->setData(QString::fromStdString(path));
    QObject::connect(entry, &QAction::triggered, [this, path] { OpenPhoto(path); });
  }
  const std::vector<std::string> measurements = RecentFiles::Measurements();
  if (!measurements.empty() && !RecentMenu->isEmpty())
    RecentMenu->addSeparator();
  for (const std::string& path : measurements) {
    QAction* entry = RecentMenu->addAction(EntryText(number++, path));
    entry->setData(QString::fromStdString(path));
    QObject::connect(entry, &QAction::triggered, [this, path] { OpenMeasurementFile(path); });
  }
  // Filled afresh each time it opens, so it is never out of date; an empty
  // list says so.
  if (RecentMenu->isEmpty())
    RecentMenu->addAction(QString::fromUtf8("(なし)"))->setEnabled(false);
}

}  // namespace sarn
