#include "qt/control_widgets.h"

namespace korvix::ui::qt {

void ListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  const QListWidgetItem* item = itemAt(event->position().toPoint());
  const int row = item != nullptr ? this->row(item) : -1;
  Reporting::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) events_.ListDoubleClicked(*this, row);
}

}  // namespace korvix::ui::qt
