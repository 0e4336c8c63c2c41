// Opening the editor: rows decoded from the code, text boxes, the option.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "dialogs/editor/editor_fixture.h"

namespace korvix::dialogs::editor_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr const char* kPlz3 = "PLZ|3 Stellen|von links|Soundex AUS";

TEST_P(EditorTest, LoadingDecodesEachRowOnItsOwn) {
  struct Case {
    const char* what;
    std::string code;
    std::vector<std::string> rows;  // padded to ten with empty rows
    const char* fields;             // field boxes enabled
    const char* details;            // detail boxes enabled
    bool save_enabled;
  };
  const std::string ten_fields = "0101000000000000" "0202000000000000" "0303000000000000"
                                 "0404000000000000" "0505000000000000" "0606000000000000"
                                 "0707000000000000" "0808000000000000" "0909000000000000"
                                 "5101000000000000";
  const Case cases[] = {
      {"new algorithm", "", {}, "F.........", "..........", false},
      {"one slot", "0103000000000000", {kPlz3}, "FF........", "D.........", true},
      {"switch digits 2 to 9 count as on; blank and letter as off",
       "0105290000000000" "0204920000000000" "0301 A0000000000" "5109100000000000",
       {"PLZ|5 Stellen|von rechts|Soundex AN", "Ort|4 Stellen|von rechts|Soundex AN",
        "Straße|1 Stelle|von links|Soundex AUS", "Bez1+2|9 Stellen|von rechts|Soundex AUS"},
       "FFFFF.....", "DDDD......", true},
      {"lengths without an entry get the default",
       "0100000000000000" "0210000000000000" "0399110000000000" "04-1000000000000",
       {kPlz3, "Ort|3 Stellen|von links|Soundex AUS", "Straße|3 Stellen|von rechts|Soundex AN",
        "Suchbegriff|3 Stellen|von links|Soundex AUS"},
       "FFFFF.....", "DDDD......", true},
      {"empty first slot before a used one", "0000000000000000" "0103000000000000",
       {"|||", kPlz3}, "F.F.......", ".D........", false},
      {"field numbers without an entry show no field",
       "1003000000000000" "5403000000000000" "-103000000000000" "0903000000000000",
       {"|||", "|||", "|||", "Kundengruppe|3 Stellen|von links|Soundex AUS"}, "F...F.....",
       "...D......", false},
      {"only ten slots are shown", ten_fields + "5205110000000000",
       {"PLZ|1 Stelle|von links|Soundex AUS", "Ort|2 Stellen|von links|Soundex AUS",
        "Straße|3 Stellen|von links|Soundex AUS", "Suchbegriff|4 Stellen|von links|Soundex AUS",
        "Bez1|5 Stellen|von links|Soundex AUS", "Bez2|6 Stellen|von links|Soundex AUS",
        "Bez3|7 Stellen|von links|Soundex AUS", "Bez4|8 Stellen|von links|Soundex AUS",
        "Kundengruppe|9 Stellen|von links|Soundex AUS", "Bez1+2|1 Stelle|von links|Soundex AUS"},
       "FFFFFFFFFF", "DDDDDDDDDD", true},
      {"a cut code reads as if blanks followed", "5106", {"Bez1+2|6 Stellen|von links|Soundex AUS"},
       "FF........", "D.........", true},
      {"blanks around numbers", " 1 4 1", {"PLZ|4 Stellen|von links|Soundex AN"}, "FF........",
       "D.........", true},
      {"compound fields", "5201000000000000" "5302100000000000",
       {"Bez1+2+3|1 Stelle|von links|Soundex AUS", "Bez1+2+3+4|2 Stellen|von rechts|Soundex AUS"},
       "FFF.......", "DD........", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Run({.AlgoCode = c.code, .AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [&](ui::User& user) {
      EXPECT_EQ(RowTexts(user), Padded(c.rows));
      EXPECT_EQ(FieldEnabling(user), c.fields);
      EXPECT_EQ(DetailEnabling(user), c.details);
      EXPECT_EQ(user.State({"btnOK"}).enabled, c.save_enabled);
      EXPECT_TRUE(user.Click({"btnCancel"}));
    });
  }
  EXPECT_TRUE(Rows().empty());
}

TEST_P(EditorTest, EveryRowOffersTheSameEntriesWithFieldNumbers) {
  Run({}, [](ui::User& user) {
    for (int i : {0, 9}) {
      SCOPED_TRACE(i);
      const ui::ControlState field = user.State({"cboField", i});
      EXPECT_THAT(field.items,
                  ElementsAre("", "PLZ", "Ort", "Straße", "Suchbegriff", "Bez1", "Bez1+2",
                              "Bez1+2+3", "Bez1+2+3+4", "Bez2", "Bez3", "Bez4", "Kundengruppe"));
      EXPECT_THAT(field.item_data, ElementsAre(0, 1, 2, 3, 4, 5, 51, 52, 53, 6, 7, 8, 9));
      EXPECT_EQ(field.list_index, 0);
      EXPECT_THAT(user.State({"cboLength", i}).items,
                  ElementsAre("1 Stelle", "2 Stellen", "3 Stellen", "4 Stellen", "5 Stellen",
                              "6 Stellen", "7 Stellen", "8 Stellen", "9 Stellen"));
      EXPECT_THAT(user.State({"cboLeftRight", i}).items, ElementsAre("von links", "von rechts"));
      EXPECT_THAT(user.State({"cboSoundex", i}).items, ElementsAre("Soundex AUS", "Soundex AN"));
      for (const char* box : {"cboLength", "cboLeftRight", "cboSoundex"}) {
        EXPECT_EQ(user.State({box, i}).list_index, -1) << box;
      }
    }
    // The row labels keep the state they were created with.
    EXPECT_TRUE(user.State({"lblID", 0}).enabled);
    EXPECT_FALSE(user.State({"lblID", 1}).enabled);
    user.Click({"btnCancel"});
  });
}

TEST_P(EditorTest, PublicOptionFollowsTheUsersRights) {
  struct Case {
    const char* what;
    Caller caller;
    bool public_enabled, public_value, private_enabled, private_value;
  };
  const std::string code = "0103000000000000";
  const Case cases[] = {
      {"administrator with staff number, new",
       {.AlgoPersonalNr = "P1", .IsAdmin = true, .PersonalNr = "P1"}, true, true, true, false},
      {"administrator without staff number, new", {.IsAdmin = true}, true, true, false, false},
      {"administrator, new, code of blanks only",
       {.AlgoCode = "   ", .AlgoPersonalNr = "P7", .IsAdmin = true}, true, true, false, false},
      {"administrator editing a public algorithm",
       {.AlgoCode = code, .AlgoPersonalNr = "-", .IsAdmin = true, .PersonalNr = "P1"}, true, true,
       true, false},
      {"administrator editing an algorithm owned by \" - \"",
       {.AlgoCode = code, .AlgoPersonalNr = " - ", .IsAdmin = true, .PersonalNr = "P1"}, true,
       true, true, false},
      {"administrator editing an algorithm with an empty owner",
       {.AlgoCode = code, .AlgoPersonalNr = "", .IsAdmin = true}, true, true, false, false},
      {"administrator without staff number editing a private algorithm",
       {.AlgoCode = code, .AlgoPersonalNr = "P7", .IsAdmin = true}, true, false, false, true},
      {"administrator with staff number editing another user's algorithm",
       {.AlgoCode = code, .AlgoPersonalNr = "P7", .IsAdmin = true, .PersonalNr = "P1"}, true,
       false, true, true},
      {"user with staff number, new", {.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, false, false,
       true, true},
      {"user editing an own algorithm",
       {.AlgoCode = code, .AlgoPersonalNr = "P1", .PersonalNr = "P1"}, false, false, true, true},
      {"user with staff number in blanks", {.AlgoPersonalNr = " P1 ", .PersonalNr = " P1 "}, false,
       false, true, true},
      {"user with staff number \"-\", new", {.AlgoPersonalNr = "-", .PersonalNr = "-"}, false,
       false, false, false},
      {"user without staff number editing an algorithm with an empty owner",
       {.AlgoCode = code}, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Run(c.caller, [&](ui::User& user) {
      const ui::ControlState pub = user.State({"optPublic", 0});
      const ui::ControlState priv = user.State({"optPublic", 1});
      EXPECT_EQ(pub.enabled, c.public_enabled);
      EXPECT_EQ(pub.value, c.public_value);
      EXPECT_EQ(priv.enabled, c.private_enabled);
      EXPECT_EQ(priv.value, c.private_value);
      user.Click({"btnCancel"});
    });
  }
}

TEST_P(EditorTest, TextBoxesShowNameAndDescriptionAndSelectAllOnFocus) {
  const Caller caller{.AlgoCode = "0103000000000000", .AlgoPersonalNr = "P1",
                      .AlgoName = "Müller-Schlüssel", .AlgoDescription = "Zeile 1\r\nZeile 2",
                      .PersonalNr = "P1"};
  Run(caller, [](ui::User& user) {
    // The name box has the focus at opening, its whole text selected.
    EXPECT_EQ(user.Focused(), (ui::ControlId{"txtName"}));
    ui::ControlState name = user.State({"txtName"});
    EXPECT_EQ(name.text, "Müller-Schlüssel");
    EXPECT_EQ(name.sel_start, 0);
    EXPECT_EQ(name.sel_length, 16);  // characters, not bytes

    EXPECT_TRUE(user.Focus({"txtDescription"}));
    const ui::ControlState description = user.State({"txtDescription"});
    EXPECT_EQ(description.text, "Zeile 1\r\nZeile 2");
    EXPECT_EQ(description.sel_start, 0);
    EXPECT_EQ(description.sel_length, 16);

    EXPECT_TRUE(user.Type({"txtDescription"}, "kurz"));
    EXPECT_TRUE(user.Focus({"btnCancel"}));
    EXPECT_TRUE(user.Focus({"txtDescription"}));
    EXPECT_EQ(user.State({"txtDescription"}).sel_length, 4);
    EXPECT_TRUE(user.Type({"txtName"}, "Neu"));
    EXPECT_TRUE(user.Focus({"cboField", 0}));
    EXPECT_TRUE(user.Focus({"txtName"}));
    name = user.State({"txtName"});
    EXPECT_EQ(name.sel_start, 0);
    EXPECT_EQ(name.sel_length, 3);
    user.Click({"btnCancel"});
  });
}

}  // namespace
}  // namespace korvix::dialogs::editor_testing
