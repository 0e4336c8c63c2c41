// The editor, played by a scripted user: loading a code into the rows, the
// row rules while the user edits, and saving with its two questions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/dialog_fixture.h"
#include "korvix/ui/message_box.h"
#include "platform/db/statement_log.h"

namespace korvix::dialogs::testing {
namespace {

using ::testing::IsEmpty;

constexpr const char* kPlz3 = "0103000000000000";
constexpr const char* kPlz5 = "0105000000000000";
constexpr const char* kRowPlz3 = "PLZ|3 Stellen|von links|Soundex AUS";

using EditorTest = DialogTest;

std::string Statement(const std::string& code, const std::string& owner) {
  return "Select * From DoubletAlgorithms Where AlgorithmCode='" + code + "' And PersonalNr='" +
         owner + "'";
}

TEST_P(EditorTest, LoadingDecodesEachRowOnItsOwn) {
  struct Case {
    std::string code;
    std::vector<std::string> rows;
    const char* enabling;
  };
  const Case cases[] = {
      {"", {}, "F......... .........."},
      {"0105290000000000" "0204920000000000" "0301 A0000000000" "5209100000000000",
       {"PLZ|5 Stellen|von rechts|Soundex AN", "Ort|4 Stellen|von rechts|Soundex AN",
        "Straße|1 Stelle|von links|Soundex AUS", "Bez1+2+3|9 Stellen|von rechts|Soundex AUS"},
       "FFFFF..... DDDD......"},
      // lengths without an entry get the default; fields without one show none
      {"0100000000000000" "0399110000000000" "1003000000000000" "5403000000000000"
       "0903000000000000",
       {kRowPlz3, "Straße|3 Stellen|von rechts|Soundex AN", "|||", "|||",
        "Kundengruppe|3 Stellen|von links|Soundex AUS"},
       "FFF..F.... DD..D....."},
      {"0000000000000000" "0103000000000000", {"|||", kRowPlz3}, "F.F....... .D........"},
      {"5106", {"Bez1+2|6 Stellen|von links|Soundex AUS"}, "FF........ D........."},
      {" 1 4 1", {"PLZ|4 Stellen|von links|Soundex AN"}, "FF........ D........."},
  };
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "0801000000000000";
  for (const Case& c : cases) {
    Edit({.AlgoCode = c.code, .AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [&](ui::User& user) {
      EXPECT_EQ(RowTexts(user), Padded(c.rows)) << c.code;
      EXPECT_EQ(Enabling(user), c.enabling) << c.code;
      EXPECT_EQ(user.State({"btnOK"}).enabled, RowText(user, 0) != "|||");
    });
  }
  Edit({.AlgoCode = eleven}, [](ui::User& user) {  // only ten slots are shown
    EXPECT_EQ(RowTexts(user), std::vector<std::string>(10, "Bez4|1 Stelle|von links|Soundex AUS"));
  });
  EXPECT_THAT(Table(), IsEmpty());
}

TEST_P(EditorTest, PublicOptionFollowsTheUsersRights) {
  struct Case {
    Caller caller;
    const char* options;  // "Öffentlich" then "Privat": E enabled, S selected
  };
  const std::string code = kPlz3;
  const Case cases[] = {
      {{.AlgoPersonalNr = "P1", .IsAdmin = true, .PersonalNr = "P1"}, "ES E."},
      {{.IsAdmin = true}, "ES .."},
      {{.AlgoCode = "   ", .AlgoPersonalNr = "P7", .IsAdmin = true}, "ES .."},
      {{.AlgoCode = code, .AlgoPersonalNr = " - ", .IsAdmin = true, .PersonalNr = "P1"}, "ES E."},
      {{.AlgoCode = code, .AlgoPersonalNr = "P7", .IsAdmin = true}, "E. .S"},
      {{.AlgoCode = code, .AlgoPersonalNr = "P7", .IsAdmin = true, .PersonalNr = "P1"}, "E. ES"},
      {{.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, ".. ES"},
      {{.AlgoPersonalNr = " P1 ", .PersonalNr = " P1 "}, ".. ES"},
      {{.AlgoPersonalNr = "-", .PersonalNr = "-"}, ".. .."},
      {{.AlgoCode = code}, ".. .."},
  };
  for (const Case& c : cases) {
    Edit(c.caller, [&](ui::User& user) {
      std::string options;
      for (int i : {0, 1}) {
        const ui::ControlState option = user.State({"optPublic", i});
        options += std::string(option.enabled ? "E" : ".") + (option.value ? "S" : ".") + " ";
      }
      EXPECT_EQ(options, std::string(c.options) + " ")
          << c.caller.AlgoCode << "/" << c.caller.AlgoPersonalNr << "/" << c.caller.IsAdmin
          << "/" << c.caller.PersonalNr;
    });
  }
}

TEST_P(EditorTest, TextBoxesSelectTheirWholeTextOnFocus) {
  Edit({.AlgoCode = kPlz3, .AlgoName = "Müller-Schlüssel", .AlgoDescription = "Zeile 1\r\nZ"},
       [](ui::User& user) {
         EXPECT_EQ(user.Focused(), (ui::ControlId{"txtName"}));
         EXPECT_EQ(user.State({"txtName"}).sel_length, 16);  // characters, not bytes
         EXPECT_TRUE(user.Focus({"txtDescription"}));
         EXPECT_EQ(user.State({"txtDescription"}).text, "Zeile 1\r\nZ");
         EXPECT_EQ(user.State({"txtDescription"}).sel_length, 10);
       });
}

TEST_P(EditorTest, RowsTakeDefaultsAndEncodeTheirChoices) {
  auto editor = Edit({.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [](ui::User& user) {
    EXPECT_FALSE(user.SelectText({"cboField", 1}, "Ort"));  // only row 0 is open
    EXPECT_TRUE(user.SelectText({"cboField", 0}, "PLZ"));
    EXPECT_EQ(RowTexts(user), Padded({kRowPlz3}));
    EXPECT_EQ(Enabling(user), "FF........ D.........");
    const struct {
      const char *field, *length, *direction, *phonetic;
    } rows[] = {{"Bez1+2+3+4", "9 Stellen", "von rechts", "Soundex AN"},
                {"Kundengruppe", "1 Stelle", "von links", "Soundex AN"},
                {"Bez1+2", "2 Stellen", "von rechts", "Soundex AUS"}};
    for (int i = 1; i <= 3; ++i) {
      const auto& r = rows[i - 1];
      EXPECT_TRUE(user.SelectText({"cboField", i}, r.field) &&
                  user.SelectText({"cboLength", i}, r.length) &&
                  user.SelectText({"cboLeftRight", i}, r.direction) &&
                  user.SelectText({"cboSoundex", i}, r.phonetic));
    }
    // Another field in a used row keeps the row's other choices.
    EXPECT_TRUE(user.SelectText({"cboField", 1}, "Bez4"));
    EXPECT_EQ(RowText(user, 1), "Bez4|9 Stellen|von rechts|Soundex AN");
    EXPECT_EQ(Enabling(user), "FFFFF..... DDDD......");
    EXPECT_TRUE(user.Type({"txtName"}, "Vier"));
    EXPECT_TRUE(user.Click({"btnOK"}));
  });
  const std::string code =
      std::string(kPlz3) + "0809110000000000" "0901010000000000" "5102100000000000";
  EXPECT_EQ(editor->AlgoCode, code);
  EXPECT_EQ(Table(), (Rows{{code, "P1", "Vier", Null}}));
}

TEST_P(EditorTest, ClearingARowMovesTheRowsBelowUp) {
  const std::string a = "0101000000000000", b = "0202100000000000", c = "0305010000000000";
  const char* rb = "Ort|2 Stellen|von rechts|Soundex AUS";
  const char* rc = "Straße|5 Stellen|von links|Soundex AN";
  std::string ten;
  std::vector<std::string> ten_rows;
  for (int i = 0; i < 10; ++i) {
    ten += i % 2 == 0 ? b : c;
    ten_rows.push_back(i % 2 == 0 ? rb : rc);
  }
  struct Case {
    std::string code;
    int cleared;
    std::vector<std::string> rows;
    const char* enabling;
    std::string saved;  // "" when Save is disabled
  };
  const Case cases[] = {
      {a + b + c, 1, {"PLZ|1 Stelle|von links|Soundex AUS", rc}, "FFF....... DD........", a + c},
      {a + b + c, 0, {rb, rc}, "FFF....... DD........", b + c},
      {a, 0, {}, "F......... ..........", ""},
      {ten, 0, {ten_rows.begin() + 1, ten_rows.end()}, "FFFFFFFFFF DDDDDDDDD.", ten.substr(16)},
      {ten, 9, {ten_rows.begin(), ten_rows.end() - 1}, "FFFFFFFFFF DDDDDDDDD.",
       ten.substr(0, 144)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.code + " without row " + std::to_string(k.cleared));
    auto editor = Edit({.AlgoCode = k.code, .AlgoName = "Zeilen"}, [&](ui::User& user) {
      EXPECT_TRUE(user.Select({"cboField", k.cleared}, 0));
      EXPECT_EQ(RowTexts(user), Padded(k.rows));
      EXPECT_EQ(Enabling(user), k.enabling);
      EXPECT_EQ(user.State({"cboLength", 9}).list_index, -1);
      EXPECT_EQ(user.Click({"btnOK"}), !k.saved.empty());
    });
    EXPECT_EQ(editor->Result, !k.saved.empty());
    if (editor->Result) EXPECT_EQ(editor->AlgoCode, k.saved);
  }
}

TEST_P(EditorTest, SaveAsksForAStandardNameBeforeTouchingTheTable) {
  for (int answer : {ui::kResultCancel, ui::kResultOk}) {
    Restart();
    Seed({{kPlz3, "P1", "Alt", "alt"}});
    ClearStatementLog(*connection_);
    toolkit_->QueueAnswer(answer);
    auto editor = Edit({.AlgoCode = kPlz3, .AlgoPersonalNr = "P1", .AlgoName = "Alt",
                        .AlgoDescription = "alt", .PersonalNr = "P1"},
                       [&](ui::User& user) {
                         user.SelectText({"cboSoundex", 0}, "Soundex AN");
                         user.Type({"txtName"}, "   ");
                         user.Type({"txtDescription"}, "  neu  ");
                         EXPECT_TRUE(user.Click({"btnOK"}));
                         EXPECT_EQ(user.shown(), answer != ui::kResultOk);
                         if (!user.shown()) return;
                         EXPECT_EQ(user.Focused(), (ui::ControlId{"txtName"}));
                         EXPECT_THAT(StatementLog(*connection_), IsEmpty());
                       });
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].prompt,
              "Sie haben keinen Namen für den Algorithmus angegeben. In der Auswahlliste wird "
              "deshalb\r\n\r\n3['sndx:PLZ]\r\n\r\nangezeigt.");  // the new code's description
    EXPECT_EQ(Boxes()[0].flags, 289);
    EXPECT_EQ(Boxes()[0].title, "Standardname verwenden?");
    EXPECT_EQ(editor->Result, answer == ui::kResultOk);
    const Rows after = answer == ui::kResultOk ? Rows{{"0103010000000000", "P1", Null, "neu"}}
                                               : Rows{{kPlz3, "P1", "Alt", "alt"}};
    EXPECT_EQ(Table(), after);
  }
}

TEST_P(EditorTest, SaveAsksBeforeOverwritingAnotherAlgorithm) {
  struct Case {
    db::Value stored_name;
    int answer;
    std::string shown;
  };
  const Case cases[] = {{"Alter Name", ui::kResultYes, "Alter Name"},
                        {"   ", ui::kResultNo, "3(PLZ)"},
                        {Null, ui::kResultNo, "3(PLZ)"}};
  for (const Case& c : cases) {
    Restart();
    const Rows stored = {{kPlz3, "-", "Öffentlich", Null}, {kPlz3, "P1", c.stored_name, "alt"}};
    Seed(stored);
    toolkit_->QueueAnswer(c.answer);
    auto editor = Edit({.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [&](ui::User& user) {
      user.SelectText({"cboField", 0}, "PLZ");
      user.Type({"txtName"}, " Neu ");
      EXPECT_TRUE(user.Click({"btnOK"}));
      EXPECT_EQ(user.shown(), c.answer == ui::kResultNo);  // open with what the user entered
      if (user.shown()) EXPECT_EQ(user.State({"txtName"}).text, " Neu ");
    });
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].prompt,
              "Der von Ihnen definierte Algorithmus existiert bereits unter dem Namen \r\n\r\n" +
                  c.shown + ".\r\n\r\nMöchten Sie diesen überschreiben?");
    EXPECT_EQ(Boxes()[0].flags, 292);
    EXPECT_EQ(Boxes()[0].title, "Algoritmus überschreiben?");
    EXPECT_EQ(editor->Result, c.answer == ui::kResultYes);
    EXPECT_EQ(editor->AlgoCode, c.answer == ui::kResultYes ? kPlz3 : "");
    const Rows after = c.answer == ui::kResultNo ? stored
                                                 : Rows{stored[0], {kPlz3, "P1", "Neu", Null}};
    EXPECT_EQ(Table(), after);
  }
}

// What was stored, who edits what, and what is stored and issued after.
TEST_P(EditorTest, SaveWritesTheOwnersRowAndRemovesOnlyAReplacedOne) {
  struct Case {
    const char* what;
    Rows stored;
    Caller caller;
    std::function<void(ui::User&)> edit;
    Rows after;
    std::vector<std::string> statements;
  };
  const Row other{kPlz3, "P2", "Fremd", Null};
  const Case cases[] = {
      {"only the description: in place", {{kPlz3, "P1", "Name", "alt"}, other},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P1", .AlgoName = "Name", .PersonalNr = "P1"},
       [](ui::User& user) { user.Type({"txtDescription"}, "neu"); },
       {{kPlz3, "P1", "Name", "neu"}, other}, {Statement(kPlz3, "P1")}},
      {"a length: new row, old row deleted", {{kPlz3, "P1", "Name", Null}, other},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P1", .AlgoName = "Name", .PersonalNr = "P1"},
       [](ui::User& user) { user.SelectText({"cboLength", 0}, "5 Stellen"); },
       {other, {kPlz5, "P1", "Name", Null}}, {Statement(kPlz5, "P1"), Statement(kPlz3, "P1")}},
      {"public to private: the current user owns it", {{kPlz3, "-", "Öff", Null}},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "-", .AlgoName = "Öff", .IsAdmin = true,
        .PersonalNr = "ADM"},
       [](ui::User& user) { user.Click({"optPublic", 1}); },
       {{kPlz3, "ADM", "Öff", Null}}, {Statement(kPlz3, "ADM"), Statement(kPlz3, "-")}},
      {"private to public", {{kPlz3, "P7", "Priv", Null}},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P7", .AlgoName = "Priv", .IsAdmin = true},
       [](ui::User& user) { user.Click({"optPublic", 0}); },
       {{kPlz3, "-", "Priv", Null}}, {Statement(kPlz3, "-"), Statement(kPlz3, "P7")}},
      {"an administrator keeps another user's owner", {{kPlz3, "P7", "Alt", Null}},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P7", .AlgoName = "Alt", .IsAdmin = true,
        .PersonalNr = "ADM"},
       [](ui::User& user) { user.SelectText({"cboLeftRight", 0}, "von rechts"); },
       {{"0103100000000000", "P7", "Alt", Null}},
       {Statement("0103100000000000", "P7"), Statement(kPlz3, "P7")}},
      {"new by a user whose staff number is \"-\": public", {},
       {.AlgoPersonalNr = "-", .PersonalNr = "-"},
       [](ui::User& user) {
         user.SelectText({"cboField", 0}, "PLZ");
         user.Type({"txtName"}, "Strich");
       },
       {{kPlz3, "-", "Strich", Null}}, {Statement(kPlz3, "-")}},
      {"new by an administrator, made private", {{kPlz3, "-", "Öff", Null}},
       {.AlgoPersonalNr = "ADM", .IsAdmin = true, .PersonalNr = "ADM"},
       [](ui::User& user) {
         user.SelectText({"cboField", 0}, "PLZ");
         user.Type({"txtName"}, "Meins");
         user.Click({"optPublic", 1});
       },
       {{kPlz3, "-", "Öff", Null}, {kPlz3, "ADM", "Meins", Null}}, {Statement(kPlz3, "ADM")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    Seed(c.stored);
    ClearStatementLog(*connection_);
    auto editor = Edit(c.caller, [&](ui::User& user) {
      c.edit(user);
      EXPECT_TRUE(user.Click({"btnOK"}));
      EXPECT_FALSE(user.shown());
    });
    EXPECT_TRUE(editor->Result);
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_EQ(Table(), Sorted(c.after));
    EXPECT_EQ(StatementLog(*connection_), c.statements);
  }
}

TEST_P(EditorTest, CancelWritesNothingAndAFailedSaveStillCloses) {
  const Rows stored = {{kPlz5, "P1", "Alt", Null}};
  Seed(stored);
  const Caller caller{.AlgoCode = kPlz5, .AlgoPersonalNr = "P1", .AlgoName = "Alt", .PersonalNr = "P1"};
  const std::function<bool(ui::User&)> closers[] = {
      [](ui::User& user) { return user.CloseBox(); },
      [](ui::User& user) { return user.Click({"btnCancel"}); }};
  for (const auto& close : closers) {
    auto editor = Edit(caller, [&](ui::User& user) {
      user.SelectText({"cboField", 1}, "Ort");
      EXPECT_TRUE(close(user));
    });
    EXPECT_FALSE(editor->Result);
    EXPECT_EQ(editor->AlgoCode, kPlz5);
  }
  // The database refuses every step: no message, and the dialog closes as
  // after a save, with the table as it was.
  connection_->Close();
  auto editor = Edit(caller, [](ui::User& user) {
    user.SelectText({"cboLength", 0}, "3 Stellen");
    EXPECT_TRUE(user.Click({"btnOK"}));
    EXPECT_FALSE(user.shown());
  });
  EXPECT_TRUE(editor->Result);
  EXPECT_EQ(editor->AlgoCode, kPlz3);
  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_EQ(Table(), stored);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, EditorTest, ::testing::ValuesIn(DialogParams()),
                         DialogParamName);

}  // namespace
}  // namespace korvix::dialogs::testing
