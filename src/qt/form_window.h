// FormWindow: the window of one shown form.
//
// The window is a view of its korvix::ui::Form. It is laid out from the
// form's description, takes every control's state from the model, and
// follows the model as an observer: each change is put into the widget with
// the widget's signals blocked, so that no put of the program reads as the
// user's. What the user does to a widget goes to the form's User* entry
// points, which apply the model's rules and raise its events; the widget then
// shows what the model decided (a refused pick snaps back).
//
// Enter and Escape press nothing: no button is a default or cancel button.
// The close box is the form's UserClose. When the form unloads, the window
// hides and the handler given to set_unloaded_handler runs.
//
// Not thread-safe: lives on the thread of the QApplication.
#ifndef KORVIX_PLATFORM_UI_QT_FORM_WINDOW_H_
#define KORVIX_PLATFORM_UI_QT_FORM_WINDOW_H_

#include <QWidget>
#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "ui/form.h"
#include "qt/control_widgets.h"

namespace korvix::ui::qt {

// The role under which the items of list boxes and drop-down lists keep
// their item data.
inline constexpr int kItemDataRole = Qt::UserRole;

class FormWindow final : public QWidget, public FormObserver, private WidgetEvents {
 public:
  // Builds the window of `form` (not shown yet) at the screen's dpi and
  // starts observing the form.
  // REQUIRES: a QApplication on this thread; `form` outlives the window.
  explicit FormWindow(Form& form);
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;
  // Stops observing the form.
  ~FormWindow() override;

  Form& form() const { return form_; }
  // The logical dpi the window was laid out for.
  double dpi() const { return dpi_; }

  // The widget of the control `name` with array index `index`, or null.
  QWidget* widget(std::string_view name, int index = -1) const;
  // The control that `widget` shows, or null.
  Control* control_of(const QWidget* widget) const;

  // Runs once the form has unloaded and the window has hidden.
  void set_unloaded_handler(std::function<void()> handler) {
    unloaded_handler_ = std::move(handler);
  }

  // FormObserver.
  void ControlChanged(const Control& control, Property what) override;
  void Unloaded() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // WidgetEvents.
  void WidgetFocused(QWidget& widget, Qt::FocusReason reason) override;
  void ListDoubleClicked(QListWidget& list, int row) override;

  QWidget* Create(Control& control);
  void SetTabOrder();

  // Model to widget (form_window_mirror.cpp).
  void Apply(const Control& control, Property what);
  void ApplyAll(const Control& control);
  void ApplyItems(const ListControl& list, QWidget& widget);
  void ApplyListIndex(const ListControl& list, QWidget& widget);
  // Puts the Qt focus where the model has it.
  void RestoreFocus();

  // Widget to model.
  bool Acting() const;
  void UserTyped(Control& control);
  void SelectionMoved(Control& control);
  void PushSelection(Control& control);
  void UserPicked(Control& control, int index);
  void ListSelectionChanged(Control& control);
  void UserClicked(Control& control);

  QWidget* WidgetOf(const Control& control) const;

  Form& form_;
  const double dpi_;
  std::vector<std::pair<Control*, QWidget*>> entries_;  // in description order
  std::map<const Control*, QWidget*> widgets_;
  std::function<void()> unloaded_handler_;
  int applying_ = 0;               // > 0 while the model's state goes into widgets
  const Control* origin_ = nullptr;  // the text box whose own input is being stored
  bool detached_ = false;          // the window is going away
};

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_FORM_WINDOW_H_
