#include "korvix/ui/scripting.h"

namespace korvix::ui {

User::~User() = default;

bool User::SelectText(const ControlId& control, std::string_view text) {
  const ControlState state = State(control);
  for (std::size_t i = 0; i < state.items.size(); ++i) {
    if (state.items[i] == text) return Select(control, static_cast<int>(i));
  }
  return false;
}

}  // namespace korvix::ui
