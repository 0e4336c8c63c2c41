// ShowDlg through the C interface: automation Booleans in, the chosen code
// out, and AlgorithmName as an in/out argument. A scripted user plays the
// selection dialog on the headless toolkit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "c_api/c_strings.h"
#include "korvix/korvix.h"
#include "korvix/ui/headless_toolkit.h"
#include "korvix/ui/toolkit.h"

namespace {

using korvix::c_api::testing::Take;
using korvix::ui::User;

constexpr const char kPublic[] = "0103000000000000";
constexpr const char kOwn[] = "0105000000000000";

class CShowDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "korvix-c-show-dlg-" + std::to_string(getpid()) + ".sqlite";
    std::remove(path_.c_str());
    char* error = nullptr;
    connection_ = korvix_open(path_.c_str(), KORVIX_TRUE, &error);
    ASSERT_NE(connection_, nullptr) << error;
    ASSERT_EQ(korvix_execute(connection_,
                             "CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), "
                             "PersonalNr varchar(20), AlgorithmName varchar(100), "
                             "Description varchar(255));"
                             "CREATE TABLE Personalstamm (PersonalNr varchar(20), Titel "
                             "varchar(40), Vorname varchar(40), Nachname varchar(40));"
                             "INSERT INTO DoubletAlgorithms VALUES "
                             "('0103000000000000', '-', 'Öffentlich', NULL), "
                             "('0105000000000000', '1001', 'Meiner', NULL), "
                             "('0107000000000000', '1002', 'Fremd', NULL);",
                             &error),
              KORVIX_TRUE)
        << error;
    object_ = korvix_create_object(KORVIX_PROG_ID, nullptr);
    ASSERT_NE(object_, nullptr);
    korvix::ui::SetDefaultToolkit(&toolkit_);
  }

  void TearDown() override {
    korvix::ui::SetDefaultToolkit(nullptr);
    korvix_release_object(object_);
    korvix_close(connection_);
    std::remove(path_.c_str());
  }

  // Queues a user who picks list entry `item` and presses "Auswählen".
  void QueueChoice(int item) {
    toolkit_.QueueScript("frmSelect", [item](User& user) {
      EXPECT_TRUE(user.Select({"Liste"}, item));
      EXPECT_TRUE(user.Click({"btnOK"}));
    });
  }

  std::string path_;
  korvix_connection_t* connection_ = nullptr;
  korvix_doublet_functions_t* object_ = nullptr;
  korvix::ui::HeadlessToolkit toolkit_;
};

TEST_F(CShowDlgTest, AlgorithmNameChangesOnlyOnAChoice) {
  struct Case {
    const char* label;
    const char* name_in;  // what *AlgorithmName points to
    int choose;           // list entry to choose, -1 to cancel
    const char* code;     // the method's result
    const char* name_out;
    bool new_string;  // *AlgorithmName points to a new string afterwards
  };
  const Case cases[] = {
      {"choice replaces a name", "vorher", 1, kOwn, "Meiner", true},
      {"choice fills a null name", nullptr, 0, kPublic, "Öffentlich", true},
      {"choice of the same text", "Meiner", 1, kOwn, "Meiner", false},
      {"cancel keeps the name", "vorher", -1, "", "vorher", false},
      {"cancel keeps a null name", nullptr, -1, "", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string caller_buffer = c.name_in == nullptr ? "" : c.name_in;
    char* const in = c.name_in == nullptr ? nullptr : caller_buffer.data();
    char* name = in;
    if (c.choose >= 0) QueueChoice(c.choose);
    EXPECT_EQ(Take(korvix_ShowDlg(object_, connection_, nullptr, "1001", KORVIX_FALSE, nullptr,
                                  &name)),
              c.code);
    EXPECT_EQ(name != in, c.new_string);
    EXPECT_EQ(name == nullptr ? std::optional<std::string>() : std::string(name),
              c.name_out == nullptr ? std::optional<std::string>() : std::string(c.name_out));
    // The caller's own string is never written or freed.
    EXPECT_EQ(caller_buffer, c.name_in == nullptr ? "" : c.name_in);
    if (name != in) korvix_free(name);
  }
  // No place for the name: the code still comes back.
  QueueChoice(1);
  EXPECT_EQ(Take(korvix_ShowDlg(object_, connection_, nullptr, "1001", KORVIX_FALSE, nullptr,
                                nullptr)),
            kOwn);
  EXPECT_EQ(toolkit_.pending_scripts("frmSelect"), 0u);
}

TEST_F(CShowDlgTest, BooleansAreAutomationBooleans) {
  struct Case {
    std::optional<korvix_bool> allow_select;  // nullopt: the argument omitted
    korvix_bool is_admin;
    bool ok_visible;
    std::size_t entries;  // an administrator sees every user's rows
  };
  const Case cases[] = {
      {std::nullopt, KORVIX_FALSE, true, 2}, {KORVIX_TRUE, KORVIX_FALSE, true, 2},
      {1, KORVIX_TRUE, true, 3},             {2, 1, true, 3},
      {KORVIX_FALSE, KORVIX_FALSE, false, 2}, {KORVIX_FALSE, -2, false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "AllowSelect " << c.allow_select.value_or(99)
                                    << ", IsAdmin " << c.is_admin);
    std::optional<bool> visible;
    std::size_t entries = 0;
    toolkit_.QueueScript("frmSelect", [&](User& user) {
      visible = user.State({"btnOK"}).visible;
      entries = user.State({"Liste"}).items.size();
    });
    korvix_bool allow = c.allow_select.value_or(0);
    const korvix_bool* allow_arg = c.allow_select ? &allow : nullptr;
    EXPECT_EQ(Take(korvix_ShowDlg(object_, connection_, nullptr, "1001", c.is_admin, allow_arg,
                                  nullptr)),
              "");
    EXPECT_EQ(visible, c.ok_visible);
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(allow, c.allow_select.value_or(0));  // read, never written
  }
}

TEST_F(CShowDlgTest, CurrentAlgorithmIsSelectedAtTheStart) {
  struct Case {
    const char* algorithm;
    int list_index;
  };
  for (const Case& c : {Case{kOwn, 1}, Case{kPublic, 0}, Case{"0199000000000000", -1},
                        Case{nullptr, -1}}) {
    SCOPED_TRACE(c.algorithm == nullptr ? "(null)" : c.algorithm);
    int selected = -2;
    toolkit_.QueueScript("frmSelect",
                         [&](User& user) { selected = user.State({"Liste"}).list_index; });
    EXPECT_EQ(Take(korvix_ShowDlg(object_, connection_, c.algorithm, "1001", KORVIX_FALSE,
                                  nullptr, nullptr)),
              "");
    EXPECT_EQ(selected, c.list_index);
  }
}

TEST_F(CShowDlgTest, WithoutAConnectionTheListIsEmpty) {
  std::size_t entries = 99;
  toolkit_.QueueScript("frmSelect",
                       [&](User& user) { entries = user.State({"Liste"}).items.size(); });
  char* name = nullptr;
  EXPECT_EQ(Take(korvix_ShowDlg(object_, nullptr, nullptr, nullptr, KORVIX_TRUE, nullptr, &name)),
            "");
  EXPECT_EQ(entries, 0u);
  EXPECT_EQ(name, nullptr);
}

}  // namespace
