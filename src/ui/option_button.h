// Option buttons: an on/off value, at most one on within a group.
//
// A group is the option buttons of one form with the same option_group
// number in their description.
#ifndef KORVIX_PLATFORM_UI_OPTION_BUTTON_H_
#define KORVIX_PLATFORM_UI_OPTION_BUTTON_H_

#include "korvix/export.h"
#include "ui/control.h"

namespace korvix::ui {

class KORVIX_EXPORT OptionButton final : public Control {
 public:
  bool Value() const { return value_; }
  // Putting true clears every other button of the group; putting false
  // clears only this one, so a group may have none on. Raises no event.
  bool SetValue(bool value);

  int group() const { return description().option_group; }

 private:
  OptionButton(Form* form, const ControlDescription* description)
      : Control(form, description) {}

  bool value_ = false;

  friend class Form;
};

}  // namespace korvix::ui

#endif  // KORVIX_PLATFORM_UI_OPTION_BUTTON_H_
