#pragma once

#include <QFrame>
#include <functional>

namespace sarn::tk {

// A panel without caption. on_dbl_click for a double-click on the panel
// itself; on_drag_over whenever a drag of anything enters or moves over it
// (no drop is accepted).
class Panel : public QFrame {
 public:
  explicit Panel(QWidget* parent);

  std::function<void()> on_dbl_click;
  std::function<void()> on_drag_over;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
};

}  // namespace sarn::tk
