#include "window/form_fixture.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSettings>

#include "app/recent_files.h"

#include "state/wire_table.h"

namespace sarn::test {

// Each test starts with nothing remembered (the test program keeps the
// settings in a temporary XDG_CONFIG_HOME).
void FormFixture::SetUp() {
  QSettings(QSettings::NativeFormat, QSettings::UserScope, RecentFiles::kOrganization,
            RecentFiles::kApplication)
      .clear();
}

void FormFixture::TearDown() {
  form_.reset();
}

void FormFixture::Start(const std::vector<uint8_t>& table) {
  const std::string path = folder_.Write("SetDT.dat", table);
  const WireDataResult read = ReadWireData(path);
  ASSERT_TRUE(read.ok()) << read.failure().English();
  form_ = std::make_unique<Form1>(dialogs_, clipboard_, folder_.path());
  form_->Form_Load(*read);
  form_->showMaximized();
  QApplication::processEvents();
}

void FormFixture::Press(QWidget* widget, QPointF at, Qt::MouseButton button) {
  QMouseEvent event(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), button, button,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void FormFixture::Move(QWidget* widget, QPointF at, Qt::MouseButtons held) {
  QMouseEvent event(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, held,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void FormFixture::Release(QWidget* widget, QPointF at, Qt::MouseButton button) {
  QMouseEvent event(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), button, Qt::NoButton,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void FormFixture::Click(QWidget* widget) {
  const QPointF centre(widget->width() / 2.0, widget->height() / 2.0);
  Press(widget, centre, Qt::LeftButton);
  Release(widget, centre, Qt::LeftButton);
}

void FormFixture::DoubleClick(QWidget* widget) {
  const QPointF centre(widget->width() / 2.0, widget->height() / 2.0);
  Press(widget, centre, Qt::LeftButton);
  Release(widget, centre, Qt::LeftButton);
  QMouseEvent event(QEvent::MouseButtonDblClick, centre, widget->mapToGlobal(centre),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
  Release(widget, centre, Qt::LeftButton);
}

}  // namespace sarn::test
