// The scripted user of the Qt toolkit: a person's mouse and keyboard on one
// shown window.
//
// Acts are the input a person's acts produce, sent to the real widgets:
//   Select       a list box: a click on the item. A drop-down list: a click
//                that opens it, the pointer moved onto the entry, a click.
//   Type         the focus moved in (as by Tab), Ctrl+A, then the text typed
//                key by key (Backspace for an empty text).
//   Click        a click on the button, or on an option button's circle.
//   DoubleClick  a click and a double click on the item, or below the items.
//   Focus        the focus moved in, as by Tab.
//   CloseBox     the window's close().
// An act that a person could not do fails and sends nothing: the window is
// not the innermost one shown, or the control is missing, of another kind,
// disabled or invisible, or the item does not exist. Reads come from the
// widgets (qt/widget_state.h) and the window's title; only the
// dialog's published properties, which no widget shows, from its form.
#ifndef KORVIX_PLATFORM_UI_QT_QT_USER_H_
#define KORVIX_PLATFORM_UI_QT_QT_USER_H_

#include <optional>
#include <string>

#include "korvix/ui/scripting.h"
#include "qt/form_window.h"
#include "qt/modal_run.h"

namespace korvix::ui::qt {

class QtUser final : public User {
 public:
  QtUser(const ModalStack& stack, FormWindow& window) : stack_(stack), window_(window) {}

  const std::string& form_name() const override { return window_.form().name(); }
  bool shown() const override { return window_.isVisible(); }

  bool Select(const ControlId& control, int item) override;
  bool Type(const ControlId& control, std::string_view text) override;
  bool Click(const ControlId& control) override;
  bool DoubleClick(const ControlId& control, int item) override;
  bool Focus(const ControlId& control) override;
  bool CloseBox() override;

  ControlState State(const ControlId& control) const override;
  std::optional<ControlId> Focused() const override;
  std::string Caption() const override;
  std::optional<std::string> Property(std::string_view name) const override;

  // The window this user acts on, for checks beyond the scripting interface.
  FormWindow& window() const { return window_; }

 private:
  // The widget of `control` when the user can reach it, else null.
  QWidget* Reachable(const ControlId& control) const;
  // Moves the focus to `widget` as a Tab does, unless it has it.
  void TabInto(QWidget& widget) const;

  const ModalStack& stack_;
  FormWindow& window_;
};

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_QT_USER_H_
