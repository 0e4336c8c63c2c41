// Every editor scenario runs on every toolkit and database back end.
#include "dialogs/editor/editor_fixture.h"

namespace korvix::dialogs::editor_testing {

INSTANTIATE_TEST_SUITE_P(Dialogs, EditorTest, ::testing::ValuesIn(testing::DialogParams()),
                         testing::DialogParamName);

}  // namespace korvix::dialogs::editor_testing
