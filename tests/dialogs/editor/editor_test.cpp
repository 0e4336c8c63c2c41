// The editor, played by a scripted user: loading a code into the rows, the
// row rules while the user edits, and saving with its two questions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "case_file.h"
#include "dialogs/dialog_fixture.h"
#include "korvix/ui/message_box.h"
#include "db/statement_log.h"

namespace korvix::dialogs::testing {
namespace {

using ::testing::IsEmpty;
using ui::User;
using EditorTest = DialogTest;

constexpr const char* kPlz3 = "0103000000000000";
constexpr const char* kPlz5 = "0105000000000000";
constexpr const char* kRowPlz3 = "PLZ|3 Stellen|von links|Soundex AUS";

TEST_P(EditorTest, LoadingDecodesEachRowOnItsOwn) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dialogs/cases/loading.tsv", 3)) {
    Edit({.AlgoCode = c[0]}, [&](User& user) {
      EXPECT_EQ(RowTexts(user), Padded(korvix::testing::SplitField(c[2]))) << c.where;
      EXPECT_EQ(Enabling(user), c[1]) << c.where;
      EXPECT_EQ(user.State({"btnOK"}).enabled, RowText(user, 0) != "|||");
    });
  }
  EXPECT_THAT(Table(), IsEmpty());
}

TEST_P(EditorTest, PublicOptionFollowsTheUsersRightsAndTheTextBoxesSelectAll) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dialogs/cases/public_option.tsv", 5)) {
    Edit({.AlgoCode = c[0], .AlgoPersonalNr = c[1], .IsAdmin = c[2] == "1", .PersonalNr = c[3]}, [&](User& user) {
      std::string options;
      for (int i : {0, 1}) {
        const ui::ControlState option = user.State({"optPublic", i});
        options += std::string(i == 1 ? " " : "") + (option.enabled ? "E" : ".") + (option.value ? "S" : ".");
      }
      EXPECT_EQ(options, c[4]) << c.where;
    });
  }
  Edit({.AlgoCode = kPlz3, .AlgoName = "Müller-Schlüssel", .AlgoDescription = "Zeile 1\r\nZ"},
       [](User& user) {
         EXPECT_EQ(user.Focused(), (ui::ControlId{"txtName"}));
         EXPECT_EQ(user.State({"txtName"}).sel_length, 16);  // characters, not bytes
         EXPECT_TRUE(user.Focus({"txtDescription"}));
         EXPECT_EQ(user.State({"txtDescription"}).sel_length, 10);
       });
}

TEST_P(EditorTest, RowsTakeDefaultsAndEncodeTheirChoices) {
  auto editor = Edit({.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [](User& user) {
    EXPECT_FALSE(user.SelectText({"cboField", 1}, "Ort"));  // only row 0 is open
    EXPECT_TRUE(user.SelectText({"cboField", 0}, "PLZ"));
    EXPECT_EQ(RowTexts(user), Padded({kRowPlz3}));
    EXPECT_EQ(Enabling(user), "FF........ D.........");
    const char* rows[][4] = {{"Bez1+2+3+4", "9 Stellen", "von rechts", "Soundex AN"},
                             {"Kundengruppe", "1 Stelle", "von links", "Soundex AN"},
                             {"Bez1+2", "2 Stellen", "von rechts", "Soundex AUS"}};
    for (int i = 1; i <= 3; ++i) {
      int box = 0;
      for (const char* name : {"cboField", "cboLength", "cboLeftRight", "cboSoundex"}) {
        EXPECT_TRUE(user.SelectText({name, i}, rows[i - 1][box++]));
      }
    }
    EXPECT_TRUE(user.SelectText({"cboField", 1}, "Bez4"));  // keeps the row's other choices
    EXPECT_EQ(RowText(user, 1), "Bez4|9 Stellen|von rechts|Soundex AN");
    EXPECT_EQ(Enabling(user), "FFFFF..... DDDD......");
    EXPECT_TRUE(user.Type({"txtName"}, "Vier") && user.Click({"btnOK"}));
  });
  const std::string code = std::string(kPlz3) + "0809110000000000" "0901010000000000" "5102100000000000";
  EXPECT_EQ(editor->AlgoCode, code);
  EXPECT_EQ(Table(), (Rows{{code, "P1", "Vier", Null}}));
}

TEST_P(EditorTest, ClearingARowMovesTheRowsBelowUp) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dialogs/cases/clearing.tsv", 5)) {
    SCOPED_TRACE(c.where);
    auto editor = Edit({.AlgoCode = c[0], .AlgoName = "Zeilen"}, [&](User& user) {
      EXPECT_TRUE(user.Select({"cboField", std::stoi(c[1])}, 0));
      EXPECT_EQ(RowTexts(user), Padded(korvix::testing::SplitField(c[2])));
      EXPECT_EQ(Enabling(user), c[3]);
      EXPECT_EQ(user.State({"cboLength", 9}).list_index, -1);
      EXPECT_EQ(user.Click({"btnOK"}), !c[4].empty());
    });
    EXPECT_EQ(editor->AlgoCode, c[4].empty() ? c[0] : c[4]);
  }
}

TEST_P(EditorTest, SaveAsksForAStandardNameAndBeforeOverwritingAnotherAlgorithm) {
  const Row public_row{kPlz3, "-", "Öffentlich", Null};
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dialogs/cases/save_questions.tsv", 8)) {
    SCOPED_TRACE(c.where);
    Restart();
    const Row stored{c[0], "P1", c[1], "alt"};
    Seed({public_row, stored});
    ClearStatementLog(*connection_);
    toolkit_->QueueAnswer(std::stoi(c[3]));
    const bool saves = c[7] != "-";
    auto editor = Edit({.AlgoCode = kPlz5, .AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [&](User& user) {
      user.SelectText({"cboLength", 0}, "3 Stellen");
      user.Type({"txtName"}, c[2]);
      user.Type({"txtDescription"}, "  neu  ");
      EXPECT_TRUE(user.Click({"btnOK"}));
      EXPECT_EQ(user.shown(), !saves);  // still open with what the user entered
      if (saves) return;
      EXPECT_EQ(user.State({"txtName"}).text, c[2]);
      if (c[6] != "289") return;  // refused the standard name: nothing read, the focus in the name
      EXPECT_EQ(user.Focused(), (ui::ControlId{"txtName"}));
      EXPECT_THAT(StatementLog(*connection_), IsEmpty());
    });
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(c[4].empty() || Boxes()[0].prompt == c[4]) << Boxes()[0].prompt;
    EXPECT_EQ(Boxes()[0].title, c[5]);
    EXPECT_EQ(Boxes()[0].flags, std::stoi(c[6]));
    EXPECT_EQ(editor->Result, saves);
    EXPECT_EQ(editor->AlgoCode, saves ? kPlz3 : kPlz5);
    const db::Value saved = c[7] == "(null)" ? db::Value() : db::Value(c[7]);
    const Rows after = {public_row, {kPlz3, "P1", saved, "neu"}};
    EXPECT_EQ(Table(), saves ? after : Sorted({public_row, stored}));
  }
}

// Rows as a case file lists them: code/owner/name/description apart by ";".
Rows CaseRows(const std::string& field) {
  Rows rows;
  for (const std::string& row : korvix::testing::SplitField(field)) {
    std::vector<db::Value> v;
    for (const std::string& value : korvix::testing::SplitField(row, '/')) {
      v.push_back(value == "(null)" ? db::Value() : db::Value(value));
    }
    rows.push_back({v.at(0), v.at(1), v.at(2), v.at(3)});
  }
  return rows;
}

// What the user does, as a case file lists it: "type box text", "select box
// row text", "click box index", apart by ";".
void Act(User& user, const std::string& field) {
  for (const std::string& act : korvix::testing::SplitField(field)) {
    std::istringstream in(act);
    std::string verb, name, text;
    int index = -1;
    in >> verb >> name;
    if (verb != "type") in >> index;
    std::getline(in >> std::ws, text);
    EXPECT_TRUE(verb == "type"     ? user.Type({name}, text)
                : verb == "select" ? user.SelectText({name, index}, text)
                                   : user.Click({name, index}))
        << act;
  }
}

TEST_P(EditorTest, SaveWritesTheOwnersRowAndRemovesOnlyAReplacedOne) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dialogs/cases/saves.tsv", 8)) {
    SCOPED_TRACE(c.where);
    Restart();
    Seed(CaseRows(c[0]));
    auto editor = Edit({.AlgoCode = c[1], .AlgoPersonalNr = c[2], .AlgoName = c[3], .IsAdmin = c[4] == "1",
                        .PersonalNr = c[5]},
                       [&](User& user) {
                         Act(user, c[6]);
                         EXPECT_TRUE(user.Click({"btnOK"}));
                       });
    EXPECT_TRUE(editor->Result);
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_EQ(Table(), Sorted(CaseRows(c[7])));
  }
}

TEST_P(EditorTest, CancelWritesNothingAndAFailedSaveStillCloses) {
  const Rows stored = {{kPlz5, "P1", "Alt", Null}};
  Seed(stored);
  const Caller caller{.AlgoCode = kPlz5, .AlgoPersonalNr = "P1", .AlgoName = "Alt", .PersonalNr = "P1"};
  for (bool box : {true, false}) {
    auto editor = Edit(caller, [&](User& user) {
      user.SelectText({"cboField", 1}, "Ort");
      EXPECT_TRUE(box ? user.CloseBox() : user.Click({"btnCancel"}));
    });
    EXPECT_FALSE(editor->Result);
  }
  // The database refuses every step: no message, and the dialog closes as
  // after a save, with the table as it was.
  connection_->Close();
  auto editor = Edit(caller, [](User& user) {
    user.SelectText({"cboLength", 0}, "3 Stellen");
    EXPECT_TRUE(user.Click({"btnOK"}));
    EXPECT_FALSE(user.shown());
  });
  EXPECT_TRUE(editor->Result);
  EXPECT_EQ(editor->AlgoCode, kPlz3);
  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_EQ(Table(), stored);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, EditorTest, ::testing::ValuesIn(DialogParams()), DialogParamName);

}  // namespace
}  // namespace korvix::dialogs::testing
