// New, Edit and Delete from the selection dialog, played by a scripted user;
// the table is compared after each command, not only the window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/dialog_fixture.h"
#include "korvix/doublet_functions.h"
#include "korvix/ui/message_box.h"

namespace korvix::dialogs::testing {
namespace {

using db::testing::AlgorithmRow;
using ui::User;

constexpr std::nullopt_t Null = std::nullopt;
const std::string kPlz = "0105000000000000";    // 5(PLZ), public
const std::string kOrt = "0205000000000000";    // 5(Ort), private to 1001
const std::string kKunde = "0903000000000000";  // 3(Kundengruppe), public, no name

const char* const kNewRefused =
    "Neu Dubletten-Alogrithmen können nur von Benutzern mit Personalzuordnung bzw. "
    "Administratoren angelegt werden.";
const char* const kEditRefused =
    "Öffentliche Dubletten-Alogrithmen können nur von Administratoren bearbeitet werden.";
const char* const kDeleteRefused =
    "Öffentliche Dubletten-Alogrithmen können nur von Administratoren gelöscht werden.";

std::string DeletePrompt(const std::string& list_text) {
  return "Möchten Sie den Algorithmus\r\n\r\n" + list_text + "\r\n\r\nwirklich löschen?";
}

class CommandsTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Seed(kStart);
  }

  // ShowDlg as user `nr`, the selection dialog played by `select`, the editor
  // (if it opens) by `edit`.
  std::string Show(const std::string& nr, bool admin, ui::Script select, ui::Script edit = {},
                   bool allow_select = true) {
    toolkit_->QueueScript("frmSelect", std::move(select));
    if (edit) toolkit_->QueueScript("frmAlgorithm", std::move(edit));
    std::string name;
    return DoubletFunctions().ShowDlg(connection_.get(), "", nr, admin, allow_select, &name);
  }

  std::vector<ui::MessageBoxRecord> Boxes() const { return toolkit_->message_boxes(); }

  const std::vector<AlgorithmRow> kStart = {{kPlz, "-", "Postleitzahl", "Nur PLZ"},
                                            {kOrt, "1001", "Annas Ort", Null},
                                            {kKunde, "-", "  ", Null}};
};

TEST_P(CommandsTest, RefusalsChangeNothing) {
  const struct {
    const char* what;
    std::string nr;
    const char* button;
    int item;  // selected first, or -1
    std::string title, prompt;
  } cases[] = {
      {"new without staff number", "  ", "btnNew", -1, "Dubletten-Algorithmus anlegen", kNewRefused},
      {"edit a public entry", "1001", "btnEdit", 0, "Dubletten-Algorithmus bearbeiten", kEditRefused},
      {"delete a public entry", "1001", "btnDelete", 0, "Dubletten-Algorithmus löschen",
       kDeleteRefused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t before = Boxes().size();
    Show(c.nr, false, [&](User& user) {
      if (c.item >= 0) {
        EXPECT_TRUE(user.Select({"Liste"}, c.item));
      }
      EXPECT_TRUE(user.Click({c.button}));
      EXPECT_TRUE(user.shown());
      EXPECT_EQ(user.Focused(), (ui::ControlId{"Liste"}));
      EXPECT_EQ(user.State({"Liste"}).list_index, c.item);
    });
    ASSERT_EQ(Boxes().size(), before + 1);
    EXPECT_EQ(Boxes().back().title, c.title);
    EXPECT_EQ(Boxes().back().prompt, c.prompt);
    EXPECT_EQ(Boxes().back().flags, 48);
    EXPECT_EQ(Rows(), Sorted(kStart));
  }
}

TEST_P(CommandsTest, NewOpensAnEmptyEditorAndSelectsTheSavedAlgorithm) {
  const struct {
    std::string nr;
    bool admin;
    std::string owner;  // of the saved row
  } cases[] = {{"1002", false, "1002"}, {"", true, "-"}};
  for (const auto& c : cases) {
    Restart();
    const std::string code = Show(
        c.nr, c.admin,
        [](User& user) {
          EXPECT_TRUE(user.Click({"btnNew"}));
          // the reload selected the new entry: its details and Auswählen
          EXPECT_EQ(user.State({"Liste"}).text, "Neue PLZ");
          EXPECT_TRUE(user.State({"btnOK"}).enabled);
          EXPECT_TRUE(user.Click({"btnOK"}));
        },
        [](User& editor) {
          EXPECT_EQ(editor.State({"txtName"}).text, "");
          EXPECT_EQ(editor.State({"cboField", 0}).list_index, 0);
          EXPECT_TRUE(editor.SelectText({"cboField", 0}, "PLZ"));
          EXPECT_TRUE(editor.Type({"txtName"}, "Neue PLZ"));
          EXPECT_TRUE(editor.Click({"btnOK"}));
        });
    EXPECT_EQ(code, "0103000000000000");
    std::vector<AlgorithmRow> expected = kStart;
    expected.push_back({"0103000000000000", c.owner, "Neue PLZ", Null});
    EXPECT_EQ(Rows(), Sorted(expected));
  }
}

TEST_P(CommandsTest, EditPassesTheStoredBlankNameNotTheListText) {
  Show(
      "", true,
      [](User& user) {
        EXPECT_TRUE(user.Select({"Liste"}, 2));  // listed as "3(Kundengruppe)"
        EXPECT_TRUE(user.Click({"btnEdit"}));
      },
      [](User& editor) {
        EXPECT_EQ(editor.State({"txtName"}).text, "  ");
        EXPECT_EQ(editor.State({"cboField", 0}).text, "Kundengruppe");
        EXPECT_TRUE(editor.Click({"btnCancel"}));
      });
  EXPECT_EQ(Rows(), Sorted(kStart));
}

TEST_P(CommandsTest, EditSavedMovesTheRowAndReloads) {
  toolkit_->QueueAnswer(ui::kResultOk);  // keep the standard name
  Show(
      "", true,
      [](User& user) {
        EXPECT_TRUE(user.Select({"Liste"}, 2));
        EXPECT_TRUE(user.Click({"btnEdit"}));
        EXPECT_EQ(user.State({"Liste"}).text, "3R(Kundengruppe)");
        EXPECT_EQ(user.State({"Liste"}).items.size(), 3u);
        EXPECT_TRUE(user.State({"btnDelete"}).enabled);
      },
      [](User& editor) {
        EXPECT_TRUE(editor.SelectText({"cboLeftRight", 0}, "von rechts"));
        EXPECT_TRUE(editor.Click({"btnOK"}));
      });
  EXPECT_EQ(Rows(), Sorted({{kPlz, "-", "Postleitzahl", "Nur PLZ"},
                            {kOrt, "1001", "Annas Ort", Null},
                            {"0903100000000000", "-", Null, Null}}));
}

TEST_P(CommandsTest, CancellingTheEditorLeavesListAndSelection) {
  Show(
      "1001", false,
      [](User& user) {
        EXPECT_TRUE(user.Select({"Liste"}, 1));
        EXPECT_TRUE(user.Click({"btnEdit"}));
        EXPECT_EQ(user.State({"Liste"}).list_index, 1);
        EXPECT_EQ(user.State({"Liste"}).text, "Annas Ort");
        EXPECT_TRUE(user.Click({"btnOK"}));
      },
      [](User& editor) {
        EXPECT_EQ(editor.State({"txtName"}).text, "Annas Ort");
        EXPECT_TRUE(editor.SelectText({"cboLength", 0}, "9 Stellen"));
        EXPECT_TRUE(editor.Click({"btnCancel"}));
      });
  EXPECT_EQ(Rows(), Sorted(kStart));
}

TEST_P(CommandsTest, DeleteAsksAndRemovesOnlyThatRow) {
  Seed({{kOrt, "-", "Öffentlicher Ort", Null}});  // same code, public
  const struct {
    int answer;
    bool deleted;
  } cases[] = {{ui::kResultNo, false}, {ui::kResultYes, true}};
  for (const auto& c : cases) {
    toolkit_->QueueAnswer(c.answer);
    std::string listed;
    Show("1001", false, [&](User& user) {
      const std::vector<std::string> items = user.State({"Liste"}).items;
      int own = -1;
      for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        if (items[static_cast<std::size_t>(i)] == "Annas Ort") own = i;
      }
      ASSERT_GE(own, 0);
      EXPECT_TRUE(user.Select({"Liste"}, own));
      EXPECT_TRUE(user.Click({"btnDelete"}));
      if (c.deleted) {
        // no entry selected afterwards, although another has the same code
        EXPECT_EQ(user.State({"Liste"}).list_index, -1);
        EXPECT_EQ(user.State({"btnOK"}).enabled, false);
        EXPECT_EQ(user.State({"btnEdit"}).enabled, false);
        EXPECT_EQ(user.State({"Liste"}).items.size(), items.size() - 1);
      } else {
        EXPECT_EQ(user.State({"Liste"}).list_index, own);
      }
    });
    const ui::MessageBoxRecord box = Boxes().back();
    EXPECT_EQ(box.title, "Dubletten-Algorithmus löschen?");
    EXPECT_EQ(box.prompt, DeletePrompt("Annas Ort"));
    EXPECT_EQ(box.flags, 292);
  }
  std::vector<AlgorithmRow> expected = {{kPlz, "-", "Postleitzahl", "Nur PLZ"},
                                        {kKunde, "-", "  ", Null},
                                        {kOrt, "-", "Öffentlicher Ort", Null}};
  EXPECT_EQ(Rows(), Sorted(expected));
}

TEST_P(CommandsTest, DeleteOfOneOfTwoEqualRowsLeavesTheOther) {
  Seed({{kOrt, "1001", "Annas Ort", Null}});  // a second row of the same pair
  toolkit_->QueueAnswer(ui::kResultYes);
  Show("", true, [](User& user) {
    EXPECT_TRUE(user.Select({"Liste"}, 1));
    EXPECT_TRUE(user.Click({"btnDelete"}));
    EXPECT_EQ(user.State({"Liste"}).items.size(), 3u);
  });
  EXPECT_EQ(Rows(), Sorted(kStart));
}

TEST_P(CommandsTest, DoubleClickEditsWhenChoosingIsOff) {
  const std::string code = Show(
      "1001", false,
      [](User& user) {
        EXPECT_TRUE(user.DoubleClick({"Liste"}, 1));
        EXPECT_TRUE(user.shown());
      },
      [](User& editor) {
        EXPECT_EQ(editor.State({"txtName"}).text, "Annas Ort");
        EXPECT_TRUE(editor.Click({"btnCancel"}));
      },
      /*allow_select=*/false);
  EXPECT_EQ(code, "");
  EXPECT_EQ(toolkit_->pending_scripts("frmAlgorithm"), 0u);
}

TEST_P(CommandsTest, SaveThatWroteNothingLeavesNoRowToActOn) {
  // The editor reports success over a closed connection; the reload then
  // finds no entry, so the stale buttons act on no row.
  const std::string code = Show(
      "1001", false,
      [](User& user) {
        EXPECT_TRUE(user.Select({"Liste"}, 0));
        EXPECT_TRUE(user.Click({"btnNew"}));
        EXPECT_EQ(user.State({"Liste"}).list_index, -1);
        EXPECT_TRUE(user.State({"Liste"}).items.empty());
        EXPECT_TRUE(user.State({"btnOK"}).enabled);  // as the earlier selection left it
        user.Click({"btnOK"});
        user.Click({"btnEdit"});
        user.Click({"btnDelete"});
        EXPECT_TRUE(user.shown());
      },
      [this](User& editor) {
        EXPECT_TRUE(editor.SelectText({"cboField", 0}, "Ort"));
        EXPECT_TRUE(editor.Type({"txtName"}, "Verloren"));
        connection_->Close();
        EXPECT_TRUE(editor.Click({"btnOK"}));
        EXPECT_FALSE(editor.shown());
      });
  EXPECT_EQ(code, "");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Rows(), Sorted(kStart));
}

INSTANTIATE_TEST_SUITE_P(Dialogs, CommandsTest, ::testing::ValuesIn(DialogParams()),
                         DialogParamName);

}  // namespace
}  // namespace korvix::dialogs::testing
