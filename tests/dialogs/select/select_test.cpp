// ShowDlg and the selection dialog with its commands, played by a scripted
// user; the table is compared after each command, not only the window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_file.h"
#include "dialogs/dialog_fixture.h"
#include "korvix/doublet_functions.h"
#include "korvix/ui/message_box.h"
#include "db/statement_log.h"

namespace korvix::dialogs::testing {
namespace {

using ui::User;

const std::string kIntro =
    "Hier finden Sie alle bereits definierten Algorithmen zum Bilden eines Dublettenschlüssels.\r\n"
    "Über die Schalftfläche 'Neu' können Sie weitere Algorithmen anlegen.\r\n\r\n"
    "Ein Dublettenschlüssel besteht aus Teilen von Feldern (z.B. 3 Stellen der Postleitzahl und "
    "5 Stellen der Straße). Datensätze mit dem selben Dublettenschlüssel können so als Dublette "
    "erkannt werden. Der Dublettenschlüssel kann aber auch zum Sortieren verwendet werden, so "
    "dass Datensätze mit ähnlichen Schlüsseln unmittelbar untereinander stehen.\r\n\r\n"
    "Der Algorithmus legt fest, aus welchen Feldern und in welcher Länge (von links bzw. von "
    "rechts) der Schlüssel besteht und ob der s.g. Soundex von Feldern gebildet werden soll. "
    "Dies ist ein phonetischer Code, der bei ähnlich lautenden Wörtern bzw. Namen identisch ist.";

const std::string kPlz = "0105000000000000";      // 5(PLZ), public
const std::string kOrt = "0205000000000000";      // 5(Ort), private to 1001
const std::string kStrasse = "0305000000000000";  // 5(Straße), private to 1002, blank texts
const std::string kKunde = "0903000000000000";    // 3(Kundengruppe), public, no name
const Rows kStart = {{kPlz, "-", "Postleitzahl", "Nur die PLZ."}, {kOrt, "1001", "Annas Ort", Null},
                     {kStrasse, "1002", "  ", "   "}, {kKunde, "-", Null, "Gruppe"}};

class SelectTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Seed(kStart);
    Exec("INSERT INTO Personalstamm VALUES ('1001', 'Dr.', 'Anna', 'Becker'), ('1002', NULL, NULL, NULL)");
  }
};

std::vector<std::string> Items(const User& user) { return user.State({"Liste"}).items; }
// Bearbeiten, Löschen and Auswählen enabled: "EDO"; disabled: "...".
std::string Buttons(const User& user) {
  std::string mask;
  for (const char* b : {"btnEdit", "btnDelete", "btnOK"}) mask += user.State({b}).enabled ? b[3] : '.';
  return mask;
}

TEST_P(SelectTest, TheCurrentAlgorithmIsSelectedButCancelChoosesNothing) {
  std::string name = "unverändert";
  EXPECT_EQ(Show("1001", false, [](User& user) {
              const ui::ControlState details = user.State({"txtDescription"});
              EXPECT_EQ(user.State({"Liste"}).list_index, 1);
              EXPECT_EQ(details.text, "Status: Privat (Dr. Anna Becker)\r\n\r\n5(Ort)");
              EXPECT_TRUE(details.font_bold);
              EXPECT_EQ(details.fore_color, ui::Color::Rgb(0, 0, 0));
              EXPECT_EQ(Buttons(user), "EDO");
              EXPECT_EQ(user.Focused(), (ui::ControlId{"Liste"}));
              EXPECT_TRUE(user.Click({"btnCancel"}));
            }, {}, kOrt, true, &name), "");
  EXPECT_EQ(name, "unverändert");
}

TEST_P(SelectTest, WithoutACurrentEntryTheIntroductionShowsUntilOneIsSelected) {
  for (const std::string& start : {std::string(), kStrasse}) {  // kStrasse is not 1001's
    std::string name;
    EXPECT_EQ(Show("1001", false, [](User& user) {
                const ui::ControlState details = user.State({"txtDescription"});
                EXPECT_EQ(details.text, kIntro);
                EXPECT_FALSE(details.font_bold);
                EXPECT_EQ(details.fore_color, ui::Color::Rgb(0, 0, 128));
                EXPECT_EQ(Buttons(user), "...");
                EXPECT_FALSE(user.Click({"btnOK"}));
                EXPECT_TRUE(user.Select({"Liste"}, 0));
                EXPECT_EQ(user.State({"txtDescription"}).text, "Status: öffentlich\r\n\r\nNur die PLZ.");
                EXPECT_TRUE(user.Click({"btnOK"}));
              }, {}, start, true, &name), kPlz);
    EXPECT_EQ(name, "Postleitzahl");
  }
}

TEST_P(SelectTest, BlankTextsShowTheReadableTextWhichIsReturnedAsTheName) {
  std::string name;
  EXPECT_EQ(Show("", true, [](User& user) {
              EXPECT_EQ(Items(user), (std::vector<std::string>{"Postleitzahl", "Annas Ort", "5(Straße)",
                                                               "3(Kundengruppe)"}));
              EXPECT_TRUE(user.Select({"Liste"}, 2));  // an owner without names: the number
              EXPECT_EQ(user.State({"txtDescription"}).text, "Status: Privat (1002)\r\n\r\n5(Straße)");
              EXPECT_TRUE(user.DoubleClick({"Liste"}, 3));  // chooses
            }, {}, "", true, &name), kKunde);
  EXPECT_EQ(name, "3(Kundengruppe)");
}

TEST_P(SelectTest, OfTwoEntriesWithTheCurrentCodeTheLaterIsSelected) {
  Seed({{kPlz, "1001", "Annas PLZ", Null}});
  Show("1001", false, [](User& user) {
    EXPECT_EQ(Items(user).size(), 4u);
    EXPECT_EQ(user.State({"Liste"}).list_index, 1);
  }, {}, kPlz);
}

TEST_P(SelectTest, AFailingListQueryOpensAnEmptyList) {
  ClearStatementLog(*connection_);
  Show("1001", false, [](User& user) { EXPECT_TRUE(user.Select({"Liste"}, 1)); });
  EXPECT_EQ(StatementLog(*connection_),
            (std::vector<std::string>{
                "Select * From DoubletAlgorithms Where PersonalNr='1001' or PersonalNr='-' Order By AlgorithmCode",
                "Select * From Personalstamm Where PersonalNr='1001'"}));
  Exec("DROP TABLE DoubletAlgorithms");
  EXPECT_EQ(Show("", true, [](User& user) {
              EXPECT_TRUE(Items(user).empty());
              EXPECT_EQ(user.State({"txtDescription"}).text, kIntro);
              EXPECT_EQ(Buttons(user), "...");
              EXPECT_TRUE(user.State({"btnNew"}).enabled);
            }, {}, kPlz), "");
  EXPECT_EQ(DoubletFunctions().ShowDlg(nullptr, kPlz), "");
}

TEST_P(SelectTest, RefusalsChangeNothing) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dialogs/cases/refusals.tsv", 5)) {
    const int item = std::stoi(c[2]);
    Show(c[0], false, [&](User& user) {
      EXPECT_TRUE(item < 0 || user.Select({"Liste"}, item));
      EXPECT_TRUE(user.Click({c[1]}));
      EXPECT_EQ(user.Focused(), (ui::ControlId{"Liste"}));
      EXPECT_EQ(user.State({"Liste"}).list_index, item);
    });
    EXPECT_EQ(Boxes().back().title, c[3]) << c.where;
    EXPECT_EQ(Boxes().back().prompt, c[4]) << c.where;
    EXPECT_EQ(Boxes().back().flags, 48);
  }
  EXPECT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(Table(), Sorted(kStart));
}

TEST_P(SelectTest, NewAndEditOpenTheEditorAndSelectTheSavedAlgorithm) {
  toolkit_->QueueScript("frmAlgorithm", [](User& editor) {  // New
    EXPECT_EQ(editor.State({"txtName"}).text, "");
    EXPECT_EQ(editor.State({"cboField", 0}).list_index, 0);
    EXPECT_TRUE(editor.SelectText({"cboField", 0}, "PLZ") && editor.Type({"txtName"}, "Neue PLZ"));
    EXPECT_TRUE(editor.Click({"btnOK"}));
  });
  toolkit_->QueueScript("frmAlgorithm", [](User& editor) {  // Edit
    EXPECT_TRUE(editor.SelectText({"cboLeftRight", 0}, "von rechts") && editor.Click({"btnOK"}));
  });
  toolkit_->QueueAnswer(ui::kResultOk);  // keep the standard name
  EXPECT_EQ(Show("1002", false, [](User& user) {
              EXPECT_TRUE(user.Click({"btnNew"}));
              EXPECT_EQ(user.State({"Liste"}).text, "Neue PLZ");
              EXPECT_TRUE(user.Select({"Liste"}, 2));  // 5(Straße), blank name
              EXPECT_TRUE(user.Click({"btnEdit"}));
              EXPECT_EQ(user.State({"Liste"}).text, "5R(Straße)");
              EXPECT_EQ(Buttons(user), "EDO");
              EXPECT_TRUE(user.Click({"btnOK"}));
            }), "0305100000000000");
  const Rows after = {kStart[0], kStart[1], kStart[3], {"0103000000000000", "1002", "Neue PLZ", Null},
                      {"0305100000000000", "1002", Null, Null}};
  EXPECT_EQ(Table(), Sorted(after));
}

TEST_P(SelectTest, EditPassesTheStoredTextsAndCancellingChangesNothing) {
  Show("", true, [](User& user) {
    EXPECT_TRUE(user.Select({"Liste"}, 2) && user.Click({"btnEdit"}));
    EXPECT_EQ(user.State({"Liste"}).list_index, 2);
    EXPECT_EQ(Buttons(user), "EDO");
  }, [](User& editor) {
    EXPECT_EQ(editor.State({"txtName"}).text, "  ");  // not the list text
    EXPECT_EQ(editor.State({"txtDescription"}).text, "   ");
    EXPECT_EQ(editor.State({"cboField", 0}).text, "Straße");
    EXPECT_TRUE(editor.SelectText({"cboLength", 0}, "9 Stellen") && editor.Click({"btnCancel"}));
  });
  EXPECT_EQ(Table(), Sorted(kStart));
  // A double click edits when choosing is off.
  EXPECT_EQ(Show("1001", false, [](User& user) { EXPECT_TRUE(user.DoubleClick({"Liste"}, 1)); },
                 [](User& editor) { EXPECT_EQ(editor.State({"txtName"}).text, "Annas Ort"); }, "", false), "");
  EXPECT_EQ(toolkit_->pending_scripts("frmAlgorithm"), 0u);
}

TEST_P(SelectTest, DeleteAsksAndRemovesOnlyThatRow) {
  Seed({{kOrt, "-", "Öffentlicher Ort", Null}});  // same code, public
  for (int answer : {ui::kResultNo, ui::kResultYes}) {
    toolkit_->QueueAnswer(answer);
    const bool yes = answer == ui::kResultYes;
    Show("1001", false, [&](User& user) {
      EXPECT_TRUE(user.SelectText({"Liste"}, "Annas Ort"));
      const int own = user.State({"Liste"}).list_index;
      EXPECT_TRUE(user.Click({"btnDelete"}));
      // No entry selected after a delete, although another has the same code.
      EXPECT_EQ(user.State({"Liste"}).list_index, yes ? -1 : own);
      EXPECT_EQ(Buttons(user), yes ? "..." : "EDO");
      EXPECT_EQ(Items(user).size(), yes ? 3u : 4u);
    });
    EXPECT_EQ(Boxes().back().title, "Dubletten-Algorithmus löschen?");
    EXPECT_EQ(Boxes().back().prompt, "Möchten Sie den Algorithmus\r\n\r\nAnnas Ort\r\n\r\nwirklich löschen?");
    EXPECT_EQ(Boxes().back().flags, 292);
  }
  Rows expected = kStart;
  expected[1] = {kOrt, "-", "Öffentlicher Ort", Null};
  EXPECT_EQ(Table(), Sorted(expected));
}

TEST_P(SelectTest, ASaveThatWroteNothingLeavesNoRowToActOn) {
  EXPECT_EQ(Show("1001", false, [](User& user) {
              EXPECT_TRUE(user.Select({"Liste"}, 0) && user.Click({"btnNew"}));
              EXPECT_TRUE(Items(user).empty());
              EXPECT_EQ(Buttons(user), "EDO");  // as the earlier selection left them
              user.Click({"btnOK"}), user.Click({"btnEdit"}), user.Click({"btnDelete"});
              EXPECT_TRUE(user.shown());
            }, [this](User& editor) {
              EXPECT_TRUE(editor.SelectText({"cboField", 0}, "Ort") && editor.Type({"txtName"}, "Verloren"));
              connection_->Close();
              EXPECT_TRUE(editor.Click({"btnOK"}));
            }), "");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Table(), Sorted(kStart));
}

INSTANTIATE_TEST_SUITE_P(Dialogs, SelectTest, ::testing::ValuesIn(DialogParams()), DialogParamName);

}  // namespace
}  // namespace korvix::dialogs::testing
