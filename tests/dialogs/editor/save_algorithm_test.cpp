// Saving: the owner, the two questions, the rows written and removed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/editor/editor_fixture.h"
#include "korvix/ui/message_box.h"

namespace korvix::dialogs::editor_testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr const char* kPlz3 = "0103000000000000";
constexpr const char* kPlz5 = "0105000000000000";
constexpr std::nullopt_t Null = std::nullopt;

std::string StandardNamePrompt(const std::string& name) {
  return "Sie haben keinen Namen für den Algorithmus angegeben. In der Auswahlliste wird "
         "deshalb\r\n\r\n" +
         name + "\r\n\r\nangezeigt.";
}

std::string OverwritePrompt(const std::string& name) {
  return "Der von Ihnen definierte Algorithmus existiert bereits unter dem Namen \r\n\r\n" + name +
         ".\r\n\r\nMöchten Sie diesen überschreiben?";
}

std::string Statement(const std::string& code, const std::string& owner) {
  return "Select * From DoubletAlgorithms Where AlgorithmCode='" + code + "' And PersonalNr='" +
         owner + "'";
}

TEST_P(EditorTest, BlankNameAsksForTheStandardName) {
  struct Case {
    const char* what;
    Caller caller;
    std::function<void(ui::User&)> edit;
    int answer;
    std::string standard_name;
    std::vector<Row> rows;  // after the answer
  };
  const Case cases[] = {
      {"new algorithm, OK",
       {.AlgoPersonalNr = "P1", .PersonalNr = "P1"},
       [](ui::User& user) {
         user.SelectText({"cboField", 0}, "PLZ");
         user.Type({"txtName"}, "   ");
         user.Type({"txtDescription"}, "  ");
       },
       ui::kResultOk, "3(PLZ)", {{kPlz3, "P1", Null, Null}}},
      {"new algorithm, Cancel",
       {.AlgoPersonalNr = "P1", .PersonalNr = "P1"},
       [](ui::User& user) { user.SelectText({"cboField", 0}, "PLZ"); },
       ui::kResultCancel, "3(PLZ)", {}},
      {"edited algorithm: the new code is described, OK",
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P1", .AlgoDescription = "alt", .PersonalNr = "P1"},
       [](ui::User& user) {
         user.SelectText({"cboLength", 0}, "5 Stellen");
         user.SelectText({"cboSoundex", 0}, "Soundex AN");
       },
       ui::kResultOk, "5['sndx:PLZ]", {{"0105010000000000", "P1", Null, "alt"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    if (c.caller.AlgoCode == kPlz3) Seed({{kPlz3, "P1", Null, "alt"}});
    connection_->ClearStatementLog();
    toolkit_->QueueAnswer(c.answer);
    auto editor = Run(c.caller, [&](ui::User& user) {
      c.edit(user);
      EXPECT_TRUE(user.Click({"btnOK"}));
      if (c.answer == ui::kResultOk) {
        EXPECT_FALSE(user.shown());
        return;
      }
      // Refused: still open with what the user entered, the focus in the name.
      EXPECT_TRUE(user.shown());
      EXPECT_EQ(user.Focused(), (ui::ControlId{"txtName"}));
      EXPECT_EQ(RowText(user, 0), "PLZ|3 Stellen|von links|Soundex AUS");
      EXPECT_THAT(connection_->StatementLog(), IsEmpty()) << "the table was touched";
      EXPECT_THAT(Rows(), IsEmpty());
      // Named now, the save goes through.
      EXPECT_TRUE(user.Type({"txtName"}, "Benannt"));
      EXPECT_TRUE(user.Click({"btnOK"}));
      EXPECT_FALSE(user.shown());
    });
    ASSERT_GE(toolkit_->message_boxes().size(), 1u);
    const ui::MessageBoxRecord& box = toolkit_->message_boxes()[0];
    EXPECT_EQ(box.prompt, StandardNamePrompt(c.standard_name));
    EXPECT_EQ(box.flags, 289);
    EXPECT_EQ(box.title, "Standardname verwenden?");
    EXPECT_EQ(toolkit_->message_boxes().size(), 1u);
    EXPECT_TRUE(editor->Result);
    if (c.answer == ui::kResultOk) {
      EXPECT_EQ(Rows(), c.rows);
    } else {
      EXPECT_EQ(Rows(), (std::vector<Row>{{kPlz3, "P1", "Benannt", Null}}));
    }
  }
}

TEST_P(EditorTest, ExistingCodeAndOwnerAsksBeforeOverwriting) {
  struct Case {
    const char* what;
    db::Value stored_name;
    int answer;
    std::string shown_name;
  };
  const Case cases[] = {
      {"named, Yes", "Alter Name", ui::kResultYes, "Alter Name"},
      {"named, No", "Alter Name", ui::kResultNo, "Alter Name"},
      {"unnamed, Yes", Null, ui::kResultYes, "3(PLZ)"},
      {"blank name, No", "   ", ui::kResultNo, "3(PLZ)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    const Row stored{kPlz3, "P1", c.stored_name, "alte Beschreibung"};
    const Row public_row{kPlz3, "-", "Öffentlich", Null};
    Seed({stored, public_row});
    toolkit_->QueueAnswer(c.answer);
    auto editor = Run({.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [&](ui::User& user) {
      user.SelectText({"cboField", 0}, "PLZ");
      user.Type({"txtName"}, " Neu ");
      user.Type({"txtDescription"}, "neue Beschreibung");
      EXPECT_TRUE(user.Click({"btnOK"}));
      EXPECT_EQ(user.shown(), c.answer != ui::kResultYes);
      if (user.shown()) {
        EXPECT_EQ(RowText(user, 0), "PLZ|3 Stellen|von links|Soundex AUS");
        EXPECT_EQ(user.State({"txtName"}).text, " Neu ");
        user.Click({"btnCancel"});
      }
    });
    ASSERT_EQ(toolkit_->message_boxes().size(), 1u);
    const ui::MessageBoxRecord& box = toolkit_->message_boxes()[0];
    EXPECT_EQ(box.prompt, OverwritePrompt(c.shown_name));
    EXPECT_EQ(box.flags, 292);
    EXPECT_EQ(box.title, "Algoritmus überschreiben?");
    if (c.answer == ui::kResultYes) {
      EXPECT_TRUE(editor->Result);
      EXPECT_EQ(editor->AlgoCode, kPlz3);
      EXPECT_EQ(Rows(), (std::vector<Row>{public_row, {kPlz3, "P1", "Neu", "neue Beschreibung"}}));
    } else {
      EXPECT_FALSE(editor->Result);
      EXPECT_EQ(editor->AlgoCode, "");
      EXPECT_EQ(Rows(), (std::vector<Row>{public_row, stored}));
    }
  }
}

// One row per scenario: what was stored, who edits what, and what is stored after.
TEST_P(EditorTest, EditingWritesTheRowAndRemovesTheReplacedOne) {
  struct Case {
    const char* what;
    std::vector<Row> stored;
    Caller caller;
    std::function<void(ui::User&)> edit;
    std::vector<int> answers;  // message boxes expected, answered in order
    std::vector<Row> after;
    std::vector<std::string> statements;
  };
  const Row other_owner{kPlz3, "P2", "Fremd", Null};
  const Case cases[] = {
      {"only the description: updated in place",
       {{kPlz3, "P1", "Name", "alt"}, other_owner},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P1", .AlgoName = "Name", .AlgoDescription = "alt",
        .PersonalNr = "P1"},
       [](ui::User& user) { user.Type({"txtDescription"}, "neu"); },
       {},
       {{kPlz3, "P1", "Name", "neu"}, other_owner},
       {Statement(kPlz3, "P1")}},
      {"a length: new row, old row deleted",
       {{kPlz3, "P1", "Name", "alt"}, other_owner},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P1", .AlgoName = "Name", .AlgoDescription = "alt",
        .PersonalNr = "P1"},
       [](ui::User& user) { user.SelectText({"cboLength", 0}, "5 Stellen"); },
       {},
       {other_owner, {kPlz5, "P1", "Name", "alt"}},
       {Statement(kPlz5, "P1"), Statement(kPlz3, "P1")}},
      {"a length onto a stored code, Yes: that row is overwritten, the old one deleted",
       {{kPlz3, "P1", "Name", "alt"}, {kPlz5, "P1", "Andere", "b"}},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P1", .AlgoName = "Name", .AlgoDescription = "alt",
        .PersonalNr = "P1"},
       [](ui::User& user) { user.SelectText({"cboLength", 0}, "5 Stellen"); },
       {ui::kResultYes},
       {{kPlz5, "P1", "Name", "alt"}},
       {Statement(kPlz5, "P1"), Statement(kPlz3, "P1")}},
      {"public to private: the current user becomes the owner",
       {{kPlz3, "-", "Öff", Null}},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "-", .AlgoName = "Öff", .IsAdmin = true,
        .PersonalNr = "ADM"},
       [](ui::User& user) { EXPECT_TRUE(user.Click({"optPublic", 1})); },
       {},
       {{kPlz3, "ADM", "Öff", Null}},
       {Statement(kPlz3, "ADM"), Statement(kPlz3, "-")}},
      {"private to public",
       {{kPlz3, "P7", "Priv", Null}, {kPlz3, "P8", "Nachbar", Null}},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P7", .AlgoName = "Priv", .IsAdmin = true,
        .PersonalNr = "ADM"},
       [](ui::User& user) { EXPECT_TRUE(user.Click({"optPublic", 0})); },
       {},
       {{kPlz3, "-", "Priv", Null}, {kPlz3, "P8", "Nachbar", Null}},
       {Statement(kPlz3, "-"), Statement(kPlz3, "P7")}},
      {"administrator keeps another user's algorithm private",
       {{kPlz3, "P7", "Alt", "x"}},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P7", .AlgoName = "Alt", .AlgoDescription = "x",
        .IsAdmin = true, .PersonalNr = "ADM"},
       [](ui::User& user) {
         user.Type({"txtName"}, "  Neu  ");
         user.Type({"txtDescription"}, "   ");
       },
       {},
       {{kPlz3, "P7", "Neu", Null}},
       {Statement(kPlz3, "P7")}},
      {"administrator without staff number keeps a private owner",
       {{kPlz3, "P7", "Alt", Null}},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "P7", .AlgoName = "Alt", .IsAdmin = true},
       [](ui::User& user) { user.SelectText({"cboLeftRight", 0}, "von rechts"); },
       {},
       {{"0103100000000000", "P7", "Alt", Null}},
       {Statement("0103100000000000", "P7"), Statement(kPlz3, "P7")}},
      {"an edited public algorithm stays public",
       {{kPlz3, "-", "Öff", Null}},
       {.AlgoCode = kPlz3, .AlgoPersonalNr = "-", .AlgoName = "Öff", .IsAdmin = true},
       [](ui::User& user) { user.Type({"txtDescription"}, "für alle"); },
       {},
       {{kPlz3, "-", "Öff", "für alle"}},
       {Statement(kPlz3, "-")}},
      {"new by a user whose staff number is \"-\": public",
       {},
       {.AlgoPersonalNr = "-", .PersonalNr = "-"},
       [](ui::User& user) {
         user.SelectText({"cboField", 0}, "PLZ");
         user.Type({"txtName"}, "Strich");
       },
       {},
       {{kPlz3, "-", "Strich", Null}},
       {Statement(kPlz3, "-")}},
      {"new by an administrator with staff number, made private",
       {{kPlz3, "-", "Öff", Null}},
       {.AlgoPersonalNr = "ADM", .IsAdmin = true, .PersonalNr = "ADM"},
       [](ui::User& user) {
         user.SelectText({"cboField", 0}, "PLZ");
         user.Type({"txtName"}, "Meins");
         EXPECT_TRUE(user.Click({"optPublic", 1}));
       },
       {},
       {{kPlz3, "-", "Öff", Null}, {kPlz3, "ADM", "Meins", Null}},
       {Statement(kPlz3, "ADM")}},
      {"new public algorithm onto a stored public one, Yes",
       {{kPlz3, "-", "Öff", "alt"}},
       {.IsAdmin = true},
       [](ui::User& user) {
         user.SelectText({"cboField", 0}, "PLZ");
         user.Type({"txtName"}, "Ersatz");
       },
       {ui::kResultYes},
       {{kPlz3, "-", "Ersatz", Null}},
       {Statement(kPlz3, "-")}},
      {"loaded odd digits come back normalised",
       {{"0100290000000000", "P1", "Alt", Null}},
       {.AlgoCode = "0100290000000000", .AlgoPersonalNr = "P1", .AlgoName = "Alt",
        .PersonalNr = "P1"},
       [](ui::User&) {},
       {},
       {{"0103110000000000", "P1", "Alt", Null}},
       {Statement("0103110000000000", "P1"), Statement("0100290000000000", "P1")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    Seed(c.stored);
    connection_->ClearStatementLog();
    for (int answer : c.answers) toolkit_->QueueAnswer(answer);
    auto editor = Run(c.caller, [&](ui::User& user) {
      c.edit(user);
      EXPECT_TRUE(user.Click({"btnOK"}));
      EXPECT_FALSE(user.shown());
    });
    EXPECT_TRUE(editor->Result);
    EXPECT_EQ(toolkit_->message_boxes().size(), c.answers.size());
    EXPECT_EQ(toolkit_->pending_answers(), 0u);
    EXPECT_EQ(Rows(), c.after);
    EXPECT_EQ(connection_->StatementLog(), c.statements);
    // AlgoCode hands the saved code back: the one the save looked up first.
    ASSERT_FALSE(c.statements.empty());
    EXPECT_THAT(c.statements.front(), HasSubstr("AlgorithmCode='" + editor->AlgoCode + "'"));
  }
}

TEST_P(EditorTest, RemovalDeletesOnlyOneOfTwoRowsWithTheOldCodeAndOwner) {
  Seed({{kPlz3, "P1", "Erste", Null}, {kPlz3, "P1", "Zweite", Null}});
  auto editor = Run({.AlgoCode = kPlz3, .AlgoPersonalNr = "P1", .AlgoName = "Erste",
                     .PersonalNr = "P1"},
                    [](ui::User& user) {
                      user.SelectText({"cboLength", 0}, "5 Stellen");
                      user.Click({"btnOK"});
                    });
  EXPECT_TRUE(editor->Result);
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].code, kPlz3);
  EXPECT_EQ(rows[1], (Row{kPlz5, "P1", "Erste", Null}));
}

TEST_P(EditorTest, CancelAndTheCloseBoxWriteNothing) {
  struct Case {
    const char* what;
    std::function<bool(ui::User&)> close;
  };
  const Case cases[] = {
      {"Abbrechen", [](ui::User& user) { return user.Click({"btnCancel"}); }},
      {"close box", [](ui::User& user) { return user.CloseBox(); }},
  };
  const std::vector<Row> stored = {{kPlz3, "P1", "Name", "alt"}};
  Seed(stored);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    connection_->ClearStatementLog();
    auto editor = Run({.AlgoCode = kPlz3, .AlgoPersonalNr = "P1", .AlgoName = "Name",
                       .AlgoDescription = "alt", .PersonalNr = "P1"},
                      [&](ui::User& user) {
                        user.SelectText({"cboField", 1}, "Ort");
                        user.Type({"txtName"}, "");
                        user.Type({"txtDescription"}, "neu");
                        EXPECT_TRUE(c.close(user));
                        EXPECT_FALSE(user.shown());
                      });
    EXPECT_FALSE(editor->Result);
    EXPECT_EQ(editor->AlgoCode, kPlz3);
    EXPECT_THAT(toolkit_->message_boxes(), IsEmpty());
    EXPECT_THAT(connection_->StatementLog(), IsEmpty());
    EXPECT_EQ(Rows(), stored);
  }
}

TEST_P(EditorTest, RefusedSaveLeavesResultFalseUntilASaveSucceeds) {
  Seed({{kPlz3, "P1", "Alt", Null}});
  toolkit_->QueueAnswer(ui::kResultNo);
  toolkit_->QueueAnswer(ui::kResultYes);
  auto editor = Run({.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [](ui::User& user) {
    user.SelectText({"cboField", 0}, "PLZ");
    user.Type({"txtName"}, "Neu");
    EXPECT_TRUE(user.Click({"btnOK"}));
    EXPECT_TRUE(user.shown());
    EXPECT_TRUE(user.Click({"btnOK"}));
    EXPECT_FALSE(user.shown());
  });
  EXPECT_TRUE(editor->Result);
  EXPECT_EQ(toolkit_->message_boxes().size(), 2u);
  EXPECT_EQ(Rows(), (std::vector<Row>{{kPlz3, "P1", "Neu", Null}}));
}

TEST_P(EditorTest, ClosedConnectionStillSavesAsSuccessAndCloses) {
  struct Case {
    const char* what;
    Caller caller;
    const char* name;  // typed; "" asks the standard-name question
  };
  const Case cases[] = {
      {"new algorithm", {.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, "Neu"},
      {"new algorithm without a name", {.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, ""},
      {"edited algorithm with a changed code",
       {.AlgoCode = kPlz5, .AlgoPersonalNr = "P1", .AlgoName = "Alt", .PersonalNr = "P1"}, "Alt"},
  };
  const std::vector<Row> stored = {{kPlz5, "P1", "Alt", Null}};
  Seed(stored);
  connection_->Close();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string_view(c.name).empty()) toolkit_->QueueAnswer(ui::kResultOk);
    auto editor = Run(c.caller, [&](ui::User& user) {
      user.SelectText({"cboField", 0}, "PLZ");
      user.SelectText({"cboLength", 0}, "3 Stellen");
      user.Type({"txtName"}, c.name);
      EXPECT_TRUE(user.Click({"btnOK"}));
      EXPECT_FALSE(user.shown());
    });
    EXPECT_TRUE(editor->Result);
    EXPECT_EQ(editor->AlgoCode, kPlz3);
    EXPECT_EQ(Rows(), stored);
  }
  ASSERT_EQ(toolkit_->message_boxes().size(), 1u);
  EXPECT_EQ(toolkit_->message_boxes()[0].title, "Standardname verwenden?");
}

}  // namespace
}  // namespace korvix::dialogs::editor_testing
