#include "toolkit/panel.h"

#include <QDragEnterEvent>
#include <QMouseEvent>

namespace sarn::tk {

Panel::Panel(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::NoFrame);
  setAcceptDrops(true);
  setAutoFillBackground(true);
}

void Panel::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  if (on_dbl_click)
    on_dbl_click();
}

void Panel::dragEnterEvent(QDragEnterEvent* event) {
  if (on_drag_over)
    on_drag_over();
  // Accepted so that the moves over the panel keep coming; nothing is
  // dropped (dropEvent is not handled).
  event->accept();
}

void Panel::dragMoveEvent(QDragMoveEvent* event) {
  if (on_drag_over)
    on_drag_over();
  event->ignore();
}

}  // namespace sarn::tk
