// The widgets of the controls: Qt's own, telling their window what only an
// override can see (the focus arriving, a double click off the items).
//
// Each kind of control gets one widget class:
//   label -> QLabel                 text box -> LineEdit or TextArea (multi-line)
//   drop-down list -> ComboBox      list box -> ListBox
//   option button -> RadioButton    command button -> PushButton
#ifndef KORVIX_PLATFORM_UI_QT_CONTROL_WIDGETS_H_
#define KORVIX_PLATFORM_UI_QT_CONTROL_WIDGETS_H_

#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace korvix::ui::qt {

// What the widgets report to their window.
class WidgetEvents {
 public:
  virtual ~WidgetEvents() = default;
  // `widget` has received the focus for `reason`; called after the widget
  // has handled the focus itself.
  virtual void WidgetFocused(QWidget& widget, Qt::FocusReason reason) = 0;
  // `list` was double-clicked on item `row`, or off the items (-1); called
  // after the list has handled the click itself.
  virtual void ListDoubleClicked(QListWidget& list, int row) = 0;
};

// `Base` with its focus reported to `events`.
template <class Base>
class Reporting : public Base {
 public:
  Reporting(WidgetEvents& events, QWidget* parent) : Base(parent), events_(events) {}

 protected:
  void focusInEvent(QFocusEvent* event) override {
    Base::focusInEvent(event);
    events_.WidgetFocused(*this, event->reason());
  }

  WidgetEvents& events_;
};

using LineEdit = Reporting<QLineEdit>;
using TextArea = Reporting<QPlainTextEdit>;
using ComboBox = Reporting<QComboBox>;
using RadioButton = Reporting<QRadioButton>;
using PushButton = Reporting<QPushButton>;

class ListBox final : public Reporting<QListWidget> {
 public:
  using Reporting::Reporting;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_CONTROL_WIDGETS_H_
