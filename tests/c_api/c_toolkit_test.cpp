// Choosing the dialog toolkit through the C interface. Run with a stand-in
// libkorvix-qt on the library path whose entry reports that it cannot show
// windows.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "c_api/c_strings.h"
#include "korvix/korvix.h"
#include "korvix/ui/headless_toolkit.h"
#include "korvix/ui/toolkit.h"

namespace {

using korvix::c_api::testing::TakeError;

TEST(CToolkit, FailedChoicesKeepTheToolkit) {
  korvix::ui::HeadlessToolkit scripted;
  korvix::ui::SetDefaultToolkit(&scripted);
  struct Case {
    const char* name;
    std::string error;
  };
  const Case cases[] = {
      {"qt", "the Qt toolkit cannot show windows: no display in this test"},
      {"Qt", "unknown dialog toolkit \"Qt\"; the toolkits are \"headless\" and \"qt\""},
      {"gtk", "unknown dialog toolkit \"gtk\"; the toolkits are \"headless\" and \"qt\""},
      {"", "unknown dialog toolkit \"\"; the toolkits are \"headless\" and \"qt\""},
      {nullptr, "unknown dialog toolkit \"\"; the toolkits are \"headless\" and \"qt\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name == nullptr ? "(null)" : c.name);
    char* error = nullptr;
    EXPECT_EQ(korvix_use_toolkit(c.name, &error), KORVIX_FALSE);
    EXPECT_EQ(TakeError(error), c.error);
    EXPECT_EQ(&korvix::ui::DefaultToolkit(), &scripted);
  }
  EXPECT_EQ(korvix_use_toolkit("qt", nullptr), KORVIX_FALSE);

  char* error = nullptr;
  EXPECT_EQ(korvix_use_toolkit("headless", &error), KORVIX_TRUE);
  EXPECT_EQ(error, nullptr);
  EXPECT_NE(&korvix::ui::DefaultToolkit(), &scripted);
  korvix::ui::SetDefaultToolkit(nullptr);
}

}  // namespace
