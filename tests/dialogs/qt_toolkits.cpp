// The toolkits of the dialog suites in real windows: the Qt back end. The
// test environment linked beside it draws them offscreen.
#include <memory>

#include "dialogs/dialog_fixture.h"
#include "korvix/ui/qt_toolkit.h"

namespace korvix::dialogs::testing {

std::vector<ToolkitFactory> ToolkitFactories() {
  return {{"Qt", [] { return std::make_unique<ui::ScriptedQtToolkit>(); }}};
}

}  // namespace korvix::dialogs::testing
