#include "window/form_fixture.h"

#include <QApplication>
#include <QMouseEvent>
#include <cstring>

#include "state/wire_table.h"

namespace sarn::test {

namespace {

void PutInt16(std::vector<uint8_t>& out, int16_t value) {
  const auto bits = static_cast<uint16_t>(value);
  out.push_back(static_cast<uint8_t>(bits & 0xFF));
  out.push_back(static_cast<uint8_t>(bits >> 8));
}

void PutFloat(std::vector<uint8_t>& out, float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<uint8_t>((bits >> shift) & 0xFF));
}

}  // namespace

ConductorBytes WorkedConductor(const std::string& name) {
  return {name, 0.7f, 60.0f, 2.5f, 90.0f, 19.0f, 18.0f, 1.0f, 180.0f};
}

std::vector<uint8_t> SetDtBytes(int16_t design_a, int16_t design_low,
                                const std::vector<ConductorBytes>& records) {
  std::vector<uint8_t> out;
  PutInt16(out, static_cast<int16_t>(records.size() - 1));
  PutInt16(out, design_a);
  PutInt16(out, design_low);
  for (const ConductorBytes& r : records) {
    std::string name = r.name;
    name.resize(20, ' ');
    out.insert(out.end(), name.begin(), name.end());
    for (float v : {r.weight, r.break_load, r.safety_factor, r.elasticity, r.expansion, r.diameter,
                    r.wind_factor, r.area})
      PutFloat(out, v);
  }
  return out;
}

std::vector<uint8_t> StandardTable() {
  ConductorBytes no_area = WorkedConductor("NO-AREA");
  no_area.area = 0;
  ConductorBytes heavy = WorkedConductor("HEAVY");
  heavy.weight = 1.4f;
  return SetDtBytes(15, -5, {WorkedConductor("WORKED-A"), no_area, heavy});
}

void FormFixture::SetUp() {}

void FormFixture::TearDown() {
  form_.reset();
}

void FormFixture::Start(const std::vector<uint8_t>& table) {
  const std::string path = folder_.Write("SetDT.dat", table);
  const WireDataResult read = ReadWireData(path);
  ASSERT_TRUE(read.data.has_value()) << read.error;
  form_ = std::make_unique<Form1>(dialogs_, clipboard_, folder_.path());
  form_->Form_Load(*read.data);
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
