// ShowDlg and the selection dialog, played by a scripted user.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/dialog_fixture.h"
#include "korvix/doublet_functions.h"
#include "korvix/ui/form_description.h"

namespace korvix::dialogs::testing {
namespace {

using ui::ControlId;
using ui::User;

const std::string kIntro =
    "Hier finden Sie alle bereits definierten Algorithmen zum Bilden eines "
    "Dublettenschlüssels.\r\n"
    "Über die Schalftfläche 'Neu' können Sie weitere Algorithmen anlegen.\r\n\r\n"
    "Ein Dublettenschlüssel besteht aus Teilen von Feldern (z.B. 3 Stellen der Postleitzahl und "
    "5 Stellen der Straße). Datensätze mit dem selben Dublettenschlüssel können so als Dublette "
    "erkannt werden. Der Dublettenschlüssel kann aber auch zum Sortieren verwendet werden, so "
    "dass Datensätze mit ähnlichen Schlüsseln unmittelbar untereinander stehen.\r\n\r\n"
    "Der Algorithmus legt fest, aus welchen Feldern und in welcher Länge (von links bzw. von "
    "rechts) der Schlüssel besteht und ob der s.g. Soundex von Feldern gebildet werden soll. "
    "Dies ist ein phonetischer Code, der bei ähnlich lautenden Wörtern bzw. Namen identisch ist.";

constexpr ui::Color kDarkBlue = ui::Color::Rgb(0, 0, 128);
constexpr ui::Color kBlack = ui::Color::Rgb(0, 0, 0);

const std::string kPlz = "0105000000000000";         // 5(PLZ)
const std::string kOrt = "0205000000000000";         // 5(Ort)
const std::string kStrasse = "0305000000000000";     // 5(Straße)
const std::string kKunde = "0903000000000000";       // 3(Kundengruppe)

class SelectTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Seed({{kPlz, "-", "Postleitzahl", "Nur die PLZ."},
          {kOrt, "1001", "Annas Ort", std::nullopt},
          {kStrasse, "1002", "  ", "   "},
          {kKunde, "-", std::nullopt, "Gruppe"}});
    Exec("INSERT INTO Personalstamm VALUES ('1001', 'Dr.', 'Anna', 'Becker'), "
         "('1002', NULL, NULL, NULL)");
  }

  // Runs ShowDlg with `script` for the selection dialog.
  std::string Show(ui::Script script, std::string_view algorithm, std::string_view user,
                   bool admin, bool allow_select, std::string* name) {
    toolkit_->QueueScript("frmSelect", std::move(script));
    return DoubletFunctions().ShowDlg(connection_.get(), algorithm, user, admin, allow_select,
                                      name);
  }

  static std::vector<std::string> Items(const User& user) { return user.State({"Liste"}).items; }
  // The enabled state of Bearbeiten, Löschen, Auswählen as "EDO" / "..." letters.
  static std::string Buttons(const User& user) {
    return std::string(user.State({"btnEdit"}).enabled ? "E" : ".") +
           (user.State({"btnDelete"}).enabled ? "D" : ".") +
           (user.State({"btnOK"}).enabled ? "O" : ".");
  }
};

TEST_P(SelectTest, CurrentAlgorithmPreselectedButCancelReturnsNothing) {
  std::string name = "unchanged";
  const std::string code = Show(
      [](User& user) {
        const ui::ControlState details = user.State({"txtDescription"});
        EXPECT_EQ(user.State({"Liste"}).list_index, 1);  // 5(Ort) sorts second
        EXPECT_EQ(details.text, "Status: Privat (Dr. Anna Becker)\r\n\r\n5(Ort)");
        EXPECT_TRUE(details.font_bold);
        EXPECT_EQ(details.fore_color, kBlack);
        EXPECT_EQ(Buttons(user), "EDO");
        EXPECT_TRUE(user.Click({"btnCancel"}));
      },
      kOrt, "1001", false, true, &name);
  EXPECT_EQ(code, "");
  EXPECT_EQ(name, "unchanged");
}

TEST_P(SelectTest, UnlistedOrEmptyCodeOpensInTheIntroduction) {
  // kOrt is private to 1001, so this user does not see it
  for (const std::string& start : std::vector<std::string>{"", "0999000000000000", kOrt}) {
    std::string name = "unchanged";
    const std::string code = Show(
        [](User& user) {
          const ui::ControlState details = user.State({"txtDescription"});
          EXPECT_EQ(user.State({"Liste"}).list_index, -1);
          EXPECT_EQ(details.text, kIntro);
          EXPECT_FALSE(details.font_bold);
          EXPECT_EQ(details.fore_color, kDarkBlue);
          EXPECT_EQ(Buttons(user), "...");
          EXPECT_TRUE(user.State({"btnOK"}).visible);
          EXPECT_FALSE(user.Click({"btnOK"}));  // disabled until an entry is selected
          EXPECT_TRUE(user.Select({"Liste"}, 0));
          EXPECT_EQ(Buttons(user), "EDO");
          EXPECT_EQ(user.State({"txtDescription"}).text, "Status: öffentlich\r\n\r\nNur die PLZ.");
          EXPECT_TRUE(user.Click({"btnOK"}));
        },
        start, "", false, true, &name);
    EXPECT_EQ(code, kPlz) << start;
    EXPECT_EQ(name, "Postleitzahl");
  }
}

TEST_P(SelectTest, WithoutSelectingThereIsNoAuswaehlen) {
  const std::string code = Show(
      [](User& user) {
        EXPECT_FALSE(user.State({"btnOK"}).visible);
        EXPECT_TRUE(user.Select({"Liste"}, 0));
        EXPECT_FALSE(user.Click({"btnOK"}));
      },
      kPlz, "", true, false, nullptr);
  EXPECT_EQ(code, "");
}

TEST_P(SelectTest, BlankNamesShowTheReadableTextAndAreReturnedAsTheName) {
  std::string name;
  const std::string code = Show(
      [](User& user) {
        EXPECT_EQ(Items(user), (std::vector<std::string>{"Postleitzahl", "Annas Ort", "5(Straße)",
                                                         "3(Kundengruppe)"}));
        // a blank description shows the readable text under the status line
        EXPECT_TRUE(user.Select({"Liste"}, 2));
        EXPECT_EQ(user.State({"txtDescription"}).text, "Status: Privat (1002)\r\n\r\n5(Straße)");
        EXPECT_TRUE(user.DoubleClick({"Liste"}, 3));  // double click chooses
      },
      "", "", true, true, &name);
  EXPECT_EQ(code, kKunde);
  EXPECT_EQ(name, "3(Kundengruppe)");
}

TEST_P(SelectTest, PublicAndPrivateRowOfOneCodeSelectTheLaterOne) {
  Seed({{kPlz, "1001", "Annas PLZ", std::nullopt}});
  std::string name;
  const std::string code = Show(
      [](User& user) {
        const std::vector<std::string> items = Items(user);
        ASSERT_EQ(items.size(), 4u);  // both rows of kPlz, kOrt, kKunde
        EXPECT_EQ(user.State({"Liste"}).list_index, 1);
        EXPECT_EQ(user.State({"Liste"}).text, items[1]);
        EXPECT_TRUE(user.Click({"btnOK"}));
      },
      kPlz, "1001", false, true, &name);
  EXPECT_EQ(code, kPlz);
  EXPECT_TRUE(name == "Postleitzahl" || name == "Annas PLZ") << name;
}

TEST_P(SelectTest, WhoSeesWhat) {
  const struct {
    std::string user;
    bool admin;
    std::vector<std::string> items;
  } cases[] = {
      {"", true, {"Postleitzahl", "Annas Ort", "5(Straße)", "3(Kundengruppe)"}},
      {"1001", false, {"Postleitzahl", "Annas Ort", "3(Kundengruppe)"}},
      {"", false, {"Postleitzahl", "3(Kundengruppe)"}},
      {"1001' or '1'='1", false, {"Postleitzahl", "3(Kundengruppe)"}},
  };
  for (const auto& c : cases) {
    Show([&](User& user) { EXPECT_EQ(Items(user), c.items) << c.user << "/" << c.admin; }, "",
         c.user, c.admin, true, nullptr);
  }
}

TEST_P(SelectTest, FailingListQueryOpensAnEmptyList) {
  Exec("DROP TABLE DoubletAlgorithms");
  std::string name = "unchanged";
  const std::string code = Show(
      [](User& user) {
        EXPECT_TRUE(Items(user).empty());
        EXPECT_EQ(user.State({"txtDescription"}).text, kIntro);
        EXPECT_EQ(Buttons(user), "...");
        EXPECT_TRUE(user.State({"btnNew"}).enabled);
        EXPECT_TRUE(user.State({"btnCancel"}).enabled);
      },
      kPlz, "", true, true, &name);
  EXPECT_EQ(code, "");
  EXPECT_EQ(name, "unchanged");
  // Without a connection too; the close box returns nothing.
  EXPECT_EQ(DoubletFunctions().ShowDlg(nullptr, kPlz), "");
}

TEST_P(SelectTest, IssuesTheListAndOwnerStatements) {
  connection_->ClearStatementLog();
  Show([](User& user) { EXPECT_TRUE(user.Select({"Liste"}, 1)); }, "", "1001", false, true,
       nullptr);
  EXPECT_EQ(connection_->StatementLog(),
            (std::vector<std::string>{
                "Select * From DoubletAlgorithms Where PersonalNr='1001' or PersonalNr='-' Order "
                "By AlgorithmCode",
                "Select * From Personalstamm Where PersonalNr='1001'"}));
}

TEST_P(SelectTest, WindowAsDescribed) {
  Show(
      [](User& user) {
        EXPECT_EQ(user.Focused(), (ControlId{"Liste"}));
        const struct {
          const char* name;
          const char* caption;
        } buttons[] = {{"btnOK", "Auswählen"}, {"btnCancel", "Abbrechen"}, {"btnNew", "Neu..."},
                       {"btnDelete", "Löschen"}, {"btnEdit", "Bearbeiten..."}};
        for (const auto& b : buttons) EXPECT_EQ(user.State({b.name}).caption, b.caption);
      },
      "", "", true, true, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, SelectTest, ::testing::ValuesIn(DialogParams()),
                         DialogParamName);

}  // namespace
}  // namespace korvix::dialogs::testing
