// The toolkit of the headless test binary, which runs the toolkit suite
// (../toolkit_contract_test.cpp) on it.
#include <memory>

#include "korvix/ui/headless_toolkit.h"
#include "ui/test_form.h"

namespace korvix::ui::testing {

std::unique_ptr<ScriptedToolkit> MakeToolkit() { return std::make_unique<HeadlessToolkit>(); }

}  // namespace korvix::ui::testing
