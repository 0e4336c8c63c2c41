#include "qt/qt_user.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include "qt/text_convert.h"
#include "qt/widget_state.h"

namespace korvix::ui::qt {
namespace {

// Lets Qt deliver what the act left queued, as the event loop would between
// two acts of a person.
void Settle() { QCoreApplication::processEvents(); }

// The pointer moved onto `at` in `widget`, with no button down.
void MovePointer(QWidget& widget, QPoint at) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget.mapToGlobal(at)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&widget, &move);
}

bool PickFromDropDown(QComboBox& combo, int item) {
  // A click on the box opens its list.
  QTest::mouseClick(&combo, Qt::LeftButton);
  QAbstractItemView* view = combo.view();
  if (view == nullptr || !view->isVisible()) return false;
  const QModelIndex index = combo.model()->index(item, combo.modelColumn(), combo.rootModelIndex());
  view->scrollTo(index);
  const QPoint at = view->visualRect(index).center();
  if (!view->viewport()->rect().contains(at)) {
    combo.hidePopup();
    return false;
  }
  // The list ignores a release that may still belong to the opening click;
  // a person moves the pointer onto the entry first.
  MovePointer(*view->viewport(), at);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  if (view->isVisible()) {
    combo.hidePopup();
    return false;
  }
  return true;
}

// Where a click off the items of `list` lands: the middle of the empty room
// below the last item; none when the items fill the list.
std::optional<QPoint> BelowTheItems(QListWidget& list) {
  const QRect room = list.viewport()->rect();
  int bottom = -1;
  if (list.count() > 0) {
    list.scrollToItem(list.item(list.count() - 1));
    bottom = list.visualItemRect(list.item(list.count() - 1)).bottom();
  }
  if (bottom + 2 >= room.bottom()) return std::nullopt;
  return QPoint(room.center().x(), (bottom + 1 + room.bottom()) / 2);
}

}  // namespace

QWidget* QtUser::Reachable(const ControlId& control) const {
  if (!stack_.IsTop(window_) || !window_.isVisible()) return nullptr;
  QWidget* widget = window_.widget(control.name, control.index);
  // A widget without room on the screen is as out of reach as a hidden one.
  if (widget == nullptr || !widget->isEnabled() || !widget->isVisible() ||
      widget->rect().isEmpty()) {
    return nullptr;
  }
  return widget;
}

void QtUser::TabInto(QWidget& widget) const {
  if (window_.focusWidget() != &widget || !widget.hasFocus()) {
    widget.setFocus(Qt::TabFocusReason);
    Settle();
  }
}

bool QtUser::Select(const ControlId& control, int item) {
  QWidget* widget = Reachable(control);
  if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    if (item < 0 || item >= combo->count()) return false;
    const bool picked = PickFromDropDown(*combo, item);
    Settle();
    return picked;
  }
  if (auto* list = qobject_cast<QListWidget*>(widget)) {
    if (item < 0 || item >= list->count()) return false;
    list->scrollToItem(list->item(item));
    const QPoint at = list->visualItemRect(list->item(item)).center();
    if (!list->viewport()->rect().contains(at)) return false;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    Settle();
    return true;
  }
  return false;
}

bool QtUser::Type(const ControlId& control, std::string_view text) {
  QWidget* widget = Reachable(control);
  auto* line = qobject_cast<QLineEdit*>(widget);
  auto* area = qobject_cast<QPlainTextEdit*>(widget);
  if ((line == nullptr && area == nullptr) || (line != nullptr && line->isReadOnly()) ||
      (area != nullptr && area->isReadOnly())) {
    return false;
  }
  TabInto(*widget);
  QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
  const QString shown = ToShownText(text, area != nullptr);
  if (shown.isEmpty()) QTest::keyClick(widget, Qt::Key_Backspace);
  for (qsizetype i = 0; i < shown.size(); ++i) {
    if (shown[i] == u'\n') {
      QTest::keyClick(widget, Qt::Key_Return);
      continue;
    }
    // A character outside the Basic Multilingual Plane is one key press of
    // two code units.
    const qsizetype n = shown[i].isHighSurrogate() && i + 1 < shown.size() ? 2 : 1;
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, shown.mid(i, n), Qt::NoModifier);
    i += n - 1;
  }
  Settle();
  return true;
}

bool QtUser::Click(const ControlId& control) {
  QWidget* widget = Reachable(control);
  if (auto* option = qobject_cast<QRadioButton*>(widget)) {
    // The circle: the caption may not reach the widget's middle.
    QStyleOptionButton style;
    style.initFrom(option);
    const QRect circle = option->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &style,
                                                         option);
    QTest::mouseClick(option, Qt::LeftButton, Qt::NoModifier, circle.center());
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    QTest::mouseClick(button, Qt::LeftButton);
  } else {
    return false;
  }
  Settle();
  return true;
}

bool QtUser::DoubleClick(const ControlId& control, int item) {
  auto* list = qobject_cast<QListWidget*>(Reachable(control));
  if (list == nullptr || item < -1 || item >= list->count()) return false;
  std::optional<QPoint> at;
  if (item >= 0) {
    list->scrollToItem(list->item(item));
    at = list->visualItemRect(list->item(item)).center();
  } else {
    at = BelowTheItems(*list);
  }
  if (!at || !list->viewport()->rect().contains(*at)) return false;
  QWidget* viewport = list->viewport();
  QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, *at);
  QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, *at);
  // The handler may have closed the window; the button comes up in any case.
  QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, *at);
  Settle();
  return true;
}

bool QtUser::Focus(const ControlId& control) {
  QWidget* widget = Reachable(control);
  if (widget == nullptr || widget->focusPolicy() == Qt::NoFocus) return false;
  TabInto(*widget);
  return true;
}

bool QtUser::CloseBox() {
  if (!stack_.IsTop(window_) || !window_.isVisible()) return false;
  window_.close();
  Settle();
  return true;
}

ControlState QtUser::State(const ControlId& control) const {
  return ReadControlState(window_, control);
}

std::optional<ControlId> QtUser::Focused() const { return ReadFocusedControl(window_); }

std::string QtUser::Caption() const { return ToUtf8(window_.windowTitle()); }

// Not on the screen: the dialog's own values, read from the form behind it.
std::optional<std::string> QtUser::Property(std::string_view name) const {
  return window_.form().Published(name);
}

}  // namespace korvix::ui::qt
