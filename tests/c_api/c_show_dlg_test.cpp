// ShowDlg through the C interface over a connection it opened, on both
// database back ends: automation Booleans in, the chosen code out, and
// AlgorithmName as an in/out argument. A scripted user plays the selection
// dialog on the headless toolkit.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "c_api/c_strings.h"
#include "korvix/korvix.h"
#include "korvix/ui/headless_toolkit.h"
#include "db/backend_fixture.h"

namespace korvix::db::testing {
namespace {

using c_api::testing::Take;

class CShowDlgTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Seed({{"0103000000000000", "-", "Öffentlich", std::nullopt},
          {"0105000000000000", "1001", "Meiner", std::nullopt},
          {"0107000000000000", "1002", "Fremd", std::nullopt}});
    connection_c_ = korvix_open(Target().c_str(), KORVIX_FALSE, nullptr);
    ASSERT_EQ(korvix_execute(connection_c_, "SELECT 1", nullptr), KORVIX_TRUE);
    ui::SetDefaultToolkit(&toolkit_);
  }
  void TearDown() override {
    ui::SetDefaultToolkit(nullptr);
    korvix_close(connection_c_);
    BackendTest::TearDown();
  }

  korvix_connection_t* connection_c_ = nullptr;
  ui::HeadlessToolkit toolkit_;
};

TEST_P(CShowDlgTest, ShowDlgSetsAlgorithmNameOnlyOnAChoice) {
  const struct {
    const char* name_in;   // what *AlgorithmName points to
    int choose;            // list entry to choose, -1 to cancel
    const char* code;      // the method's result
    const char* name_out;  // what *AlgorithmName points to afterwards
    bool new_string;       // a new string, which the caller frees
  } cases[] = {{"vorher", 1, "0105000000000000", "Meiner", true},
               {nullptr, 0, "0103000000000000", "Öffentlich", true},
               {"Meiner", 1, "0105000000000000", "Meiner", false},  // the same text
               {"vorher", -1, "", "vorher", false},
               {nullptr, -1, "", nullptr, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.name_in ? c.name_in : "(null)") << " " << c.choose);
    std::string caller = c.name_in == nullptr ? "" : c.name_in;
    char* const in = c.name_in == nullptr ? nullptr : caller.data();
    char* name = in;
    toolkit_.QueueScript("frmSelect", [&c](ui::User& user) {
      EXPECT_TRUE(c.choose < 0 || (user.Select({"Liste"}, c.choose) && user.Click({"btnOK"})));
      EXPECT_EQ(user.Property("Result"), c.choose < 0 ? "False" : "True");
      EXPECT_EQ(user.Property("Algorithm"), c.code) << "the dialog's results, published";
    });
    EXPECT_EQ(Take(korvix_ShowDlg(nullptr, connection_c_, nullptr, "1001", 0, nullptr, &name)),
              c.code);
    EXPECT_EQ(name != in, c.new_string);
    EXPECT_EQ(name == nullptr ? "(null)" : std::string(name), c.name_out ? c.name_out : "(null)");
    EXPECT_EQ(caller, c.name_in == nullptr ? "" : c.name_in) << "the caller's string is kept";
    if (name != in) korvix_free(name);
  }
}

TEST_P(CShowDlgTest, ShowDlgTakesAutomationBooleans) {
  const struct {
    std::optional<korvix_bool> allow_select;  // none: the argument omitted
    korvix_bool is_admin;
    bool ok_visible;
    std::size_t entries;  // an administrator sees every user's rows
  } cases[] = {{std::nullopt, 0, true, 2}, {1, KORVIX_TRUE, true, 3}, {2, 1, true, 3},
               {KORVIX_FALSE, -2, false, 3}, {KORVIX_FALSE, 0, false, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.allow_select.value_or(99) << " " << c.is_admin);
    ui::ControlState ok, list;
    toolkit_.QueueScript("frmSelect", [&](ui::User& user) {
      ok = user.State({"btnOK"});
      list = user.State({"Liste"});
    });
    korvix_bool allow = c.allow_select.value_or(0);
    EXPECT_EQ(Take(korvix_ShowDlg(nullptr, connection_c_, nullptr, "1001", c.is_admin,
                                  c.allow_select ? &allow : nullptr, nullptr)),
              "");
    EXPECT_EQ(ok.visible, c.ok_visible);
    EXPECT_EQ(list.items.size(), c.entries);
    EXPECT_EQ(allow, c.allow_select.value_or(0)) << "read, never written";
  }
}

KORVIX_ON_EACH_BACKEND(CShowDlgTest);

}  // namespace
}  // namespace korvix::db::testing
