#include "toolkit/combo_box.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace sarn::tk {

namespace {

// The conductor names are padded with blanks to a fixed length; the padding
// is not part of what has to be seen.
QString WithoutTrailingBlanks(const QString& text) {
  qsizetype end = text.size();
  while (end > 0 && text[end - 1].isSpace())
    --end;
  return text.left(end);
}

// The style draws the closed list's text one pixel inside the edit field.
constexpr int kLabelInset = 1;
// Room beside the longest entry in the open list (item margins, focus frame).
constexpr int kPopupSlack = 12;

}  // namespace

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  connect(this, &QComboBox::currentIndexChanged, this, [this](int) {
    UpdateToolTip();
    if (on_click)
      on_click();
  });
}

void ComboBox::AddItem(const std::string& item) {
  // QComboBox selects the first item added to an empty list; the list keeps
  // "nothing selected" until code or the user chooses.
  const int before = currentIndex();
  {
    const QSignalBlocker blocker(this);
    addItem(QString::fromStdString(item));
    setCurrentIndex(before);
  }
  UpdatePopupWidth();
}

bool ComboBox::TextCut() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  const QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  const int room = field.width() - 2 * kLabelInset;
  return fontMetrics().horizontalAdvance(WithoutTrailingBlanks(currentText())) > room;
}

void ComboBox::UpdateToolTip() {
  setToolTip(TextCut() ? WithoutTrailingBlanks(currentText()) : QString());
}

void ComboBox::UpdatePopupWidth() {
  QAbstractItemView* list = view();
  int widest = 0;
  for (int i = 0; i < count(); ++i)
    widest =
        std::max(widest, list->fontMetrics().horizontalAdvance(WithoutTrailingBlanks(itemText(i))));
  list->setMinimumWidth(widest + kPopupSlack + 2 * list->frameWidth() +
                        list->verticalScrollBar()->sizeHint().width());
}

void ComboBox::resizeEvent(QResizeEvent* event) {
  QComboBox::resizeEvent(event);
  UpdateToolTip();
}

void ComboBox::changeEvent(QEvent* event) {
  QComboBox::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    UpdateToolTip();
    UpdatePopupWidth();
  }
}

}  // namespace sarn::tk
