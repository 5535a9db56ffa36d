#pragma once

#include <QComboBox>
#include <functional>
#include <string>

namespace sarn::tk {

// A drop-down list (no typed text). ListIndex is -1 while nothing is
// selected; adding items never selects one. on_click is raised synchronously
// whenever the list index changes, by the user or by SetListIndex, and only
// when it changes.
//
// The closed list keeps its size; when the selected entry does not fit, its
// whole text is the tooltip. The open list is as wide as its longest entry,
// however narrow the closed one.
class ComboBox : public QComboBox {
 public:
  explicit ComboBox(QWidget* parent);

  void AddItem(const std::string& item);
  int ListCount() const { return count(); }
  int ListIndex() const { return currentIndex(); }
  void SetListIndex(int index) { setCurrentIndex(index); }
  // The text of the selected entry; empty when none is selected.
  std::string Text() const { return currentText().toStdString(); }

  // True when the selected entry (trailing blanks aside) does not fit the
  // closed list.
  bool TextCut() const;

  std::function<void()> on_click;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void UpdateToolTip();
  void UpdatePopupWidth();
};

}  // namespace sarn::tk
