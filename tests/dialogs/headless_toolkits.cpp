// The headless dialog suite: every database back end.
#include <memory>

#include "dialogs/dialog_fixture.h"
#include "korvix/ui/headless_toolkit.h"

namespace korvix::dialogs::testing {

std::vector<DialogParam> DialogParams() {
  auto make = [] { return std::make_unique<ui::HeadlessToolkit>(); };
  return {{"Headless", make, db::testing::BackendKind::kSqlite},
          {"Headless", make, db::testing::BackendKind::kPostgres}};
}

}  // namespace korvix::dialogs::testing
