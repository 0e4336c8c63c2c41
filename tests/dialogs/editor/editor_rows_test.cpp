// The rows while the user edits them: defaults, removal, enabling.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/editor/editor_fixture.h"

namespace korvix::dialogs::editor_testing {
namespace {

constexpr const char* kDefaults = "|3 Stellen|von links|Soundex AUS";

TEST_P(EditorTest, ComposingThreeRowsGivesDefaultsAndA48CharacterCode) {
  auto editor = Run({.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [](ui::User& user) {
    EXPECT_FALSE(user.State({"btnOK"}).enabled);
    // Only the first row is open for a field.
    EXPECT_FALSE(user.SelectText({"cboField", 1}, "Ort"));

    EXPECT_TRUE(user.SelectText({"cboField", 0}, "PLZ"));
    EXPECT_EQ(RowTexts(user), Padded({std::string("PLZ") + kDefaults}));
    EXPECT_EQ(FieldEnabling(user), "FF........");
    EXPECT_EQ(DetailEnabling(user), "D.........");
    EXPECT_TRUE(user.State({"btnOK"}).enabled);

    EXPECT_TRUE(user.SelectText({"cboField", 1}, "Ort"));
    EXPECT_TRUE(user.SelectText({"cboField", 2}, "Bez1+2+3"));
    EXPECT_EQ(RowTexts(user), Padded({std::string("PLZ") + kDefaults,
                                      std::string("Ort") + kDefaults,
                                      std::string("Bez1+2+3") + kDefaults}));
    EXPECT_EQ(FieldEnabling(user), "FFFF......");
    EXPECT_EQ(DetailEnabling(user), "DDD.......");

    EXPECT_TRUE(user.Type({"txtName"}, "Drei Felder"));
    EXPECT_TRUE(user.Click({"btnOK"}));
    EXPECT_FALSE(user.shown());
  });
  EXPECT_TRUE(editor->Result);
  EXPECT_EQ(editor->AlgoCode, "0103000000000000" "0203000000000000" "5203000000000000");
  EXPECT_EQ(editor->AlgoCode.size(), 48u);
  EXPECT_TRUE(toolkit_->message_boxes().empty());
  EXPECT_EQ(Rows(), (std::vector<Row>{{editor->AlgoCode, "P1", "Drei Felder", std::nullopt}}));
}

TEST_P(EditorTest, EachChoiceOfARowGoesIntoItsSlot) {
  struct Choice {
    const char* field;
    const char* length;
    const char* direction;
    const char* phonetic;
    const char* slot;
  };
  const Choice choices[] = {
      {"Bez1+2+3+4", "9 Stellen", "von rechts", "Soundex AN", "5309110000000000"},
      {"Kundengruppe", "1 Stelle", "von links", "Soundex AN", "0901010000000000"},
      {"Bez1+2", "2 Stellen", "von rechts", "Soundex AUS", "5102100000000000"},
      {"Straße", "5 Stellen", "von links", "Soundex AUS", "0305000000000000"},
      {"Bez4", "8 Stellen", "von rechts", "Soundex AN", "0808110000000000"},
      {"Suchbegriff", "4 Stellen", "von links", "Soundex AN", "0404010000000000"},
  };
  std::string code;
  for (const Choice& c : choices) code += c.slot;
  auto editor = Run({.AlgoPersonalNr = "P1", .PersonalNr = "P1"}, [&](ui::User& user) {
    for (int i = 0; i < static_cast<int>(std::size(choices)); ++i) {
      const Choice& c = choices[i];
      SCOPED_TRACE(c.field);
      EXPECT_TRUE(user.SelectText({"cboField", i}, c.field));
      EXPECT_TRUE(user.SelectText({"cboLength", i}, c.length));
      EXPECT_TRUE(user.SelectText({"cboLeftRight", i}, c.direction));
      EXPECT_TRUE(user.SelectText({"cboSoundex", i}, c.phonetic));
    }
    // Another field in a used row keeps the row's other choices.
    EXPECT_TRUE(user.SelectText({"cboField", 0}, "PLZ"));
    EXPECT_EQ(RowText(user, 0), "PLZ|9 Stellen|von rechts|Soundex AN");
    EXPECT_TRUE(user.SelectText({"cboField", 0}, "Bez1+2+3+4"));
    user.Type({"txtName"}, "Sechs");
    user.Click({"btnOK"});
  });
  EXPECT_TRUE(editor->Result);
  EXPECT_EQ(editor->AlgoCode, code);
  EXPECT_EQ(Rows(), (std::vector<Row>{{code, "P1", "Sechs", std::nullopt}}));
}

TEST_P(EditorTest, ClearingARowMovesTheRowsBelowUp) {
  const std::string a = "0101000000000000", b = "0202100000000000", c = "0305010000000000",
                    d = "5109110000000000";
  const char* ra = "PLZ|1 Stelle|von links|Soundex AUS";
  const char* rb = "Ort|2 Stellen|von rechts|Soundex AUS";
  const char* rc = "Straße|5 Stellen|von links|Soundex AN";
  const char* rd = "Bez1+2|9 Stellen|von rechts|Soundex AN";
  std::string ten;
  std::vector<std::string> ten_rows;
  for (int i = 0; i < 10; ++i) {
    ten += (i % 2 == 0) ? c : d;
    ten_rows.push_back((i % 2 == 0) ? rc : rd);
  }
  std::vector<std::string> ten_shifted(ten_rows.begin() + 1, ten_rows.end());

  struct Case {
    const char* what;
    std::string code;
    int cleared;
    std::vector<std::string> rows;
    const char* fields;
    const char* details;
    bool save_enabled;
    std::string saved;  // the code that Save then writes; "" when it cannot
  };
  const Case cases[] = {
      {"a middle row", a + b + c + d, 1, {ra, rc, rd}, "FFFF......", "DDD.......", true, a + c + d},
      {"the last used row", a + b + c + d, 3, {ra, rb, rc}, "FFFF......", "DDD.......", true,
       a + b + c},
      {"row 0 of several", a + b + c + d, 0, {rb, rc, rd}, "FFFF......", "DDD.......", true,
       b + c + d},
      {"row 0 when only row 0 is used", a, 0, {}, "F.........", "..........", false, ""},
      {"row 9 of ten", ten, 9, std::vector<std::string>(ten_rows.begin(), ten_rows.end() - 1),
       "FFFFFFFFFF", "DDDDDDDDD.", true, ten.substr(0, 144)},
      {"row 0 of ten", ten, 0, ten_shifted, "FFFFFFFFFF", "DDDDDDDDD.", true, ten.substr(16)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    auto editor = Run({.AlgoCode = k.code, .AlgoPersonalNr = "P1", .AlgoName = "Zeilen",
                       .PersonalNr = "P1"},
                      [&](ui::User& user) {
                        EXPECT_TRUE(user.Select({"cboField", k.cleared}, 0));
                        EXPECT_EQ(RowTexts(user), Padded(k.rows));
                        EXPECT_EQ(FieldEnabling(user), k.fields);
                        EXPECT_EQ(DetailEnabling(user), k.details);
                        EXPECT_EQ(user.State({"btnOK"}).enabled, k.save_enabled);
                        // A cleared row has nothing selected in its detail boxes.
                        for (const char* box : {"cboLength", "cboLeftRight", "cboSoundex"}) {
                          EXPECT_EQ(user.State({box, 9}).list_index, -1) << box;
                        }
                        EXPECT_EQ(user.State({"cboField", 9}).list_index, 0);
                        EXPECT_EQ(user.Click({"btnOK"}), k.save_enabled);
                        if (user.shown()) user.Click({"btnCancel"});
                      });
    EXPECT_EQ(editor->Result, k.save_enabled);
    if (k.save_enabled) {
      EXPECT_EQ(editor->AlgoCode, k.saved);
    }
  }
}

TEST_P(EditorTest, LoadedRowBelowAnEmptyFirstRowWaitsForRowZero) {
  auto editor = Run({.AlgoCode = "0000000000000000" "0204000000000000", .AlgoPersonalNr = "P1",
                     .AlgoName = "Lücke", .PersonalNr = "P1"},
                    [](ui::User& user) {
                      EXPECT_FALSE(user.State({"btnOK"}).enabled);
                      EXPECT_FALSE(user.Select({"cboField", 1}, 0)) << "row 1 is locked";
                      EXPECT_TRUE(user.SelectText({"cboField", 0}, "PLZ"));
                      EXPECT_EQ(RowTexts(user),
                                Padded({"PLZ|3 Stellen|von links|Soundex AUS",
                                        "Ort|4 Stellen|von links|Soundex AUS"}));
                      EXPECT_EQ(FieldEnabling(user), "FFF.......");
                      EXPECT_TRUE(user.Click({"btnOK"}));
                    });
  EXPECT_EQ(editor->AlgoCode, "0103000000000000" "0204000000000000");
}

}  // namespace
}  // namespace korvix::dialogs::editor_testing
