// The Qt dialogs as the program configures them: the file dialog's filter,
// initial name, "file must exist" and Qt's texts in Japanese; message boxes
// with the program's title and no icon. Each dialog is inspected and closed
// from inside its own loop.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
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
    // Qt's own texts in Japanese ("Open", "Look in:", "Cancel" without its
    // catalogue), whatever the user's LANG.
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("開く"));
    auto* look_in = dialog->findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(look_in, nullptr);
    EXPECT_EQ(look_in->text(), QString::fromUtf8("アドレス:"));
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    ASSERT_NE(buttons->button(QDialogButtonBox::Cancel), nullptr);
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Cancel)
                    ->text()
                    .contains(QString::fromUtf8("キャンセル")));
    inspected = true;
    dialog->reject();
  });
  EXPECT_EQ(dialogs.OpenPhoto(initial), std::nullopt);  // cancelled
  EXPECT_TRUE(inspected);
  // A folder (the last one of an earlier session) is where the dialog opens.
  WhenShown([&](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->directory().absolutePath().toStdString(), folder.path());
    dialog->reject();
  });
  EXPECT_EQ(dialogs.OpenPhoto(folder.path()), std::nullopt);
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
    EXPECT_TRUE(box->button(QMessageBox::Yes)->text().contains(QString::fromUtf8("はい")));
    EXPECT_TRUE(box->button(QMessageBox::No)->text().contains(QString::fromUtf8("いいえ")));
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
