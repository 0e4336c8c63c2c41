#include "ui/option_button.h"

#include "ui/form.h"

namespace korvix::ui {

bool OptionButton::SetValue(bool value) {
  if (!attached()) return false;
  if (value) {
    for (Control* control : form()->controls()) {
      if (control == this || control->kind() != ControlKind::kOptionButton) continue;
      auto* partner = static_cast<OptionButton*>(control);
      if (partner->group() == group() && partner->value_) {
        partner->value_ = false;
        partner->Changed(Property::kValue);
      }
    }
  }
  if (value_ != value) {
    value_ = value;
    Changed(Property::kValue);
  }
  return true;
}

}  // namespace korvix::ui
