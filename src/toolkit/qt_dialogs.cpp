#include "toolkit/qt_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "toolkit/file_filter.h"

namespace sarn::tk {

void QtDialogs::MessageOk(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title_), QString::fromStdString(text),
                  QMessageBox::Ok, parent_);
  box.exec();
}

bool QtDialogs::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title_), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::SaveFileName(const std::string& caption,
                                                   const std::string& suggested_name,
                                                   const std::string& filter) {
  const QString chosen = QFileDialog::getSaveFileName(
      parent_, QString::fromStdString(caption), QString::fromStdString(suggested_name),
      QString::fromStdString(filter), nullptr, QFileDialog::DontUseNativeDialog);
  if (chosen.isEmpty())
    return std::nullopt;
  return chosen.toStdString();
}

std::optional<std::string> QtDialogs::OpenPhoto(const std::string& initial_name) {
  QFileDialog dialog(parent_);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);  // path and file must exist
  dialog.setNameFilters(QtNameFilters(kPhotoFilter));
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  if (!initial_name.empty()) {
    // A file offered first, or a folder to start in.
    const QFileInfo initial(QString::fromStdString(initial_name));
    if (initial.isDir()) {
      dialog.setDirectory(initial.absoluteFilePath());
    } else {
      dialog.setDirectory(initial.absolutePath());
      dialog.selectFile(initial.fileName());
    }
  }
  if (dialog.exec() != QDialog::Accepted)
    return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty())
    return std::nullopt;
  return QFileInfo(chosen.front()).absoluteFilePath().toStdString();
}

std::optional<std::string> QtDialogs::OpenFileName(const std::string& caption,
                                                   const std::string& initial_name,
                                                   const std::string& filter) {
  // getOpenFileName checks that the chosen file exists.
  const QString chosen = QFileDialog::getOpenFileName(
      parent_, QString::fromStdString(caption), QString::fromStdString(initial_name),
      QString::fromStdString(filter), nullptr, QFileDialog::DontUseNativeDialog);
  if (chosen.isEmpty())
    return std::nullopt;
  return chosen.toStdString();
}

void QtDialogs::EndProgram() {
  std::fflush(nullptr);
  std::_Exit(EXIT_FAILURE);
}

}  // namespace sarn::tk
