// Command buttons: pressed by the user, they raise Click. Their state is the
// shared one of every control (Enabled, Visible); the type exists so that a
// lookup by name checks the kind.
#ifndef KORVIX_UI_COMMAND_BUTTON_H_
#define KORVIX_UI_COMMAND_BUTTON_H_

#include "korvix/export.h"
#include "korvix/ui/control.h"

namespace korvix::ui {

class KORVIX_EXPORT CommandButton final : public Control {
 private:
  CommandButton(Form* form, const ControlDescription* description)
      : Control(form, description) {}

  friend class Form;
};

}  // namespace korvix::ui

#endif  // KORVIX_UI_COMMAND_BUTTON_H_
