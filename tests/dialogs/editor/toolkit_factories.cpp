// The back ends the editor's scenarios run on: every TEST_P of EditorTest,
// in every file of this suite, runs once per factory. A further toolkit
// joins by adding its factory here.
#include <memory>

#include <gtest/gtest.h>

#include "dialogs/editor/editor_fixture.h"
#include "korvix/ui/headless_toolkit.h"

namespace korvix::dialogs::editor_testing {

std::vector<ToolkitFactory> ToolkitFactories() {
  return {
      {"Headless", [] { return std::make_unique<ui::HeadlessToolkit>(); }},
  };
}

INSTANTIATE_TEST_SUITE_P(Toolkits, EditorTest, ::testing::ValuesIn(ToolkitFactories()),
                         FactoryName);

}  // namespace korvix::dialogs::editor_testing
