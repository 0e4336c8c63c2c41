#include "korvix/ui/toolkit.h"

#include <atomic>

#include "korvix/ui/headless_toolkit.h"

namespace korvix::ui {
namespace {

std::atomic<Toolkit*> chosen_toolkit{nullptr};

Toolkit& BuiltInToolkit() {
  static HeadlessToolkit headless;
  return headless;
}

}  // namespace

Toolkit::~Toolkit() = default;

Toolkit& DefaultToolkit() {
  Toolkit* chosen = chosen_toolkit.load(std::memory_order_acquire);
  return chosen != nullptr ? *chosen : BuiltInToolkit();
}

void SetDefaultToolkit(Toolkit* toolkit) {
  chosen_toolkit.store(toolkit, std::memory_order_release);
}

}  // namespace korvix::ui
