// The toolkit of the headless dialog suite: every database back end.
#include <memory>

#include "dialogs/dialog_fixture.h"
#include "korvix/ui/headless_toolkit.h"

namespace korvix::dialogs::testing {

std::vector<ToolkitFactory> ToolkitFactories() {
  return {{"Headless", [] { return std::make_unique<ui::HeadlessToolkit>(); },
           {db::testing::BackendKind::kSqlite, db::testing::BackendKind::kPostgres}}};
}

}  // namespace korvix::dialogs::testing
