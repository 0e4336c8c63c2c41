// ShowDlg through the C interface over a connection it opened, on both
// database back ends: automation Booleans in, the chosen code out, and
// AlgorithmName as an in/out argument. A scripted user plays the selection
// dialog on the headless toolkit.
#include <gtest/gtest.h>

#include <string>

#include "c_api/c_strings.h"
#include "case_file.h"
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

TEST_P(CShowDlgTest, ShowDlgSetsAlgorithmNameOnlyOnAChoiceAndTakesAutomationBooleans) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("c_api/cases/show_dlg.tsv", 5, 6)) {
    SCOPED_TRACE(c.where);
    if (c[0] == "booleans") {
      ui::ControlState ok, list;
      toolkit_.QueueScript("frmSelect", [&](ui::User& user) {
        ok = user.State({"btnOK"});
        list = user.State({"Liste"});
      });
      korvix_bool allow = c[1] == "-" ? 0 : std::stoi(c[1]);
      EXPECT_EQ(Take(korvix_ShowDlg(nullptr, connection_c_, nullptr, "1001", std::stoi(c[2]),
                                    c[1] == "-" ? nullptr : &allow, nullptr)),
                "");
      EXPECT_EQ(ok.visible, c[3] == "1");
      EXPECT_EQ(list.items.size(), std::stoul(c[4]));
      EXPECT_EQ(allow, c[1] == "-" ? 0 : std::stoi(c[1])) << "read, never written";
      continue;
    }
    const bool null_in = c[1] == "(null)";
    const int choose = std::stoi(c[2]);
    std::string caller = null_in ? "" : c[1];
    char* const in = null_in ? nullptr : caller.data();
    char* name = in;
    toolkit_.QueueScript("frmSelect", [&](ui::User& user) {
      EXPECT_TRUE(choose < 0 || (user.Select({"Liste"}, choose) && user.Click({"btnOK"})));
      EXPECT_EQ(user.Property("Result"), choose < 0 ? "False" : "True");
      EXPECT_EQ(user.Property("Algorithm"), c[3]) << "the dialog's results, published";
    });
    EXPECT_EQ(Take(korvix_ShowDlg(nullptr, connection_c_, nullptr, "1001", 0, nullptr, &name)), c[3]);
    EXPECT_EQ(name != in, c[5] == "1");
    EXPECT_EQ(name == nullptr ? "(null)" : std::string(name), c[4]);
    EXPECT_EQ(caller, null_in ? "" : c[1]) << "the caller's string is kept";
    if (name != in) korvix_free(name);
  }
}

KORVIX_ON_EACH_BACKEND(CShowDlgTest);

}  // namespace
}  // namespace korvix::db::testing
