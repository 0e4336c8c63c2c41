// The dialog suite in real windows: the Qt back end, drawn offscreen by the
// test environment linked beside it, on SQLite only.
#include <memory>

#include "dialogs/dialog_fixture.h"
#include "korvix/ui/qt_toolkit.h"

namespace korvix::dialogs::testing {

std::vector<DialogParam> DialogParams() {
  return {{"Qt", [] { return std::make_unique<ui::ScriptedQtToolkit>(); },
           db::testing::BackendKind::kSqlite}};
}

}  // namespace korvix::dialogs::testing
