// The toolkits of the headless dialog suites.
#include <memory>

#include "dialogs/dialog_fixture.h"
#include "korvix/ui/headless_toolkit.h"

namespace korvix::dialogs::testing {

std::vector<ToolkitFactory> ToolkitFactories() {
  return {{"Headless", [] { return std::make_unique<ui::HeadlessToolkit>(); }}};
}

}  // namespace korvix::dialogs::testing
