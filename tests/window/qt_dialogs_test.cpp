// The Qt dialogs as the program configures them: the file dialog's filter,
// initial name and "file must exist"; message boxes with the program's title
// and no icon. Each dialog is inspected and closed from inside its own loop.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "support/temp_folder.h"
#include "toolkit/qt_dialogs.h"

namespace sarn::tk {
namespace {

// Runs `inspect` on the modal dialog once it is shown.
void WhenShown(std::function<void(QWidget*)> inspect) {
  QTimer::singleShot(0, [inspect] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    inspect(dialog);
  });
}

TEST(QtDialogsSetup, PhotoDialogFilterInitialNameAndExistingFileOnly) {
  test::TempFolder folder;
  const std::string initial = folder.Write("span.JPG", std::string_view("x"));
  QtDialogs dialogs("Sarn");
  bool inspected = false;
  WhenShown([&](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters(), QStringList{QString::fromUtf8("写真画像ファイル (*.JPG *.HEIC *.HEIF)")});
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_FALSE(dialog->filter() & QDir::CaseSensitive);
    EXPECT_EQ(dialog->directory().absolutePath().toStdString(), folder.path());
    inspected = true;
    dialog->reject();
  });
  EXPECT_EQ(dialogs.OpenPhoto(initial), std::nullopt);  // cancelled
  EXPECT_TRUE(inspected);
}

TEST(QtDialogsSetup, QuestionHasTheTitleNoIconAndReportsYes) {
  QtDialogs dialogs("Sarn");
  WhenShown([](QWidget* widget) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Sarn");
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->text(), QString::fromUtf8("再チャレンジしますか?"));
    ASSERT_NE(box->button(QMessageBox::No), nullptr);
    box->button(QMessageBox::Yes)->click();
  });
  EXPECT_TRUE(dialogs.AskYesNo("再チャレンジしますか?"));
  WhenShown([](QWidget* widget) {
    qobject_cast<QMessageBox*>(widget)->button(QMessageBox::No)->click();
  });
  EXPECT_FALSE(dialogs.AskYesNo("再チャレンジしますか?"));
}

TEST(QtDialogsSetup, MessageHasOnlyAnOkButton) {
  QtDialogs dialogs("Sarn");
  bool inspected = false;
  WhenShown([&](QWidget* widget) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->text(), QString::fromUtf8("エラーコード=481"));
    inspected = true;
    box->button(QMessageBox::Ok)->click();
  });
  dialogs.MessageOk("エラーコード=481");
  EXPECT_TRUE(inspected);
}

}  // namespace
}  // namespace sarn::tk
