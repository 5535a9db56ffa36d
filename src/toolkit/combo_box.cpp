#include "toolkit/combo_box.h"

#include <QSignalBlocker>

namespace sarn::tk {

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  connect(this, &QComboBox::currentIndexChanged, this, [this](int) {
    if (on_click)
      on_click();
  });
}

void ComboBox::AddItem(const std::string& item) {
  // QComboBox selects the first item added to an empty list; the list keeps
  // "nothing selected" until code or the user chooses.
  const int before = currentIndex();
  const QSignalBlocker blocker(this);
  addItem(QString::fromStdString(item));
  setCurrentIndex(before);
}

}  // namespace sarn::tk
