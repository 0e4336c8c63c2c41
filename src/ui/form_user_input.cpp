// The user's acts on a form: the rules that tell what a real user can do,
// shared by every back end.
#include "ui/form.h"

namespace korvix::ui {

bool Form::UserSelect(ListControl& list, int item) {
  if (!CanAct(list) || item < 0 || item >= list.ListCount()) return false;
  Focus(list);
  return list.SetListIndex(item);
}

bool Form::UserType(TextBox& box, std::string_view text) {
  if (!CanAct(box) || box.read_only()) return false;
  Focus(box);
  return box.SetText(text);
}

bool Form::UserClick(Control& control) {
  if (!CanAct(control)) return false;
  switch (control.kind()) {
    case ControlKind::kCommandButton:
      Focus(control);
      control.Raise(Event::kClick);
      return true;
    case ControlKind::kOptionButton:
      Focus(control);
      return static_cast<OptionButton&>(control).SetValue(true);
    default:
      return false;
  }
}

bool Form::UserDoubleClick(ListControl& list, int item) {
  if (!CanAct(list) || list.kind() != ControlKind::kListBox) return false;
  if (item != -1) {
    if (!UserSelect(list, item)) return false;
  } else {
    Focus(list);
  }
  list.Raise(Event::kDblClick);
  return true;
}

bool Form::UserFocus(Control& control) {
  if (!CanAct(control)) return false;
  return Focus(control);
}

bool Form::UserClose() {
  if (state_ != FormState::kShown) return false;
  if (close_box_handler_) {
    const std::function<void()> handler = close_box_handler_;
    handler();
  }
  Unload();
  return true;
}

}  // namespace korvix::ui
