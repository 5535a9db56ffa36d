#include "app/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace sarn {
namespace {

constexpr const char* kPhotosKey = "recent/photos";
constexpr const char* kMeasurementsKey = "recent/measurements";

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Each call opens the file afresh: QSettings reads it and writes the changes
// back when it goes out of scope, so two windows do not lose each other's.
QSettings Open() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                   QString::fromLatin1(RecentFiles::kOrganization),
                   QString::fromLatin1(RecentFiles::kApplication));
}

QString FolderKey(RecentFiles::Dialog dialog) {
  switch (dialog) {
    case RecentFiles::Dialog::Photo:
      return QStringLiteral("folders/photo");
    case RecentFiles::Dialog::Report:
      return QStringLiteral("folders/report");
    case RecentFiles::Dialog::Measurement:
      return QStringLiteral("folders/measurement");
    case RecentFiles::Dialog::Chart:
      return QStringLiteral("folders/chart");
  }
  return QStringLiteral("folders/other");
}

void Add(const char* key, RecentFiles::Dialog dialog, const std::string& path) {
  if (path.empty())
    return;
  const QString absolute = QFileInfo(Q(path)).absoluteFilePath();
  QSettings settings = Open();
  QStringList list = settings.value(QString::fromLatin1(key)).toStringList();
  list.removeAll(absolute);
  list.prepend(absolute);
  while (list.size() > RecentFiles::kMaxEntries)
    list.removeLast();
  settings.setValue(QString::fromLatin1(key), list);
  settings.setValue(FolderKey(dialog), QFileInfo(absolute).absolutePath());
}

std::vector<std::string> Existing(const char* key) {
  std::vector<std::string> paths;
  const QStringList list = Open().value(QString::fromLatin1(key)).toStringList();
  for (const QString& path : list) {
    if (QFileInfo(path).isFile())
      paths.push_back(path.toStdString());
  }
  return paths;
}

}  // namespace

std::string RecentFiles::LastFolder(Dialog dialog) {
  const QString folder = Open().value(FolderKey(dialog)).toString();
  if (folder.isEmpty() || !QFileInfo(folder).isDir())
    return {};
  return folder.toStdString();
}

void RecentFiles::SetLastFolderOf(Dialog dialog, const std::string& file) {
  if (file.empty())
    return;
  QSettings settings = Open();
  settings.setValue(FolderKey(dialog), QFileInfo(Q(file)).absolutePath());
}

void RecentFiles::AddPhoto(const std::string& path) {
  Add(kPhotosKey, Dialog::Photo, path);
}

void RecentFiles::AddMeasurement(const std::string& path) {
  Add(kMeasurementsKey, Dialog::Measurement, path);
}

std::vector<std::string> RecentFiles::Photos() {
  return Existing(kPhotosKey);
}

std::vector<std::string> RecentFiles::Measurements() {
  return Existing(kMeasurementsKey);
}

std::string RecentFiles::SettingsPath() {
  return Open().fileName().toStdString();
}

}  // namespace sarn
