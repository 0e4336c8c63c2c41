#include <gtest/gtest.h>

#include <string>

#include "korvix/algorithm_store.h"

namespace korvix {
namespace {

TEST(Statements, ExactTextsAndQuotedValues) {
  const struct {
    std::string made, expected;
  } cases[] = {
      {AllAlgorithmsStatement(), "Select * From DoubletAlgorithms Order By AlgorithmCode"},
      {VisibleAlgorithmsStatement("1001"),
       "Select * From DoubletAlgorithms Where PersonalNr='1001' or PersonalNr='-' Order By "
       "AlgorithmCode"},
      {VisibleAlgorithmsStatement(""),
       "Select * From DoubletAlgorithms Where PersonalNr='' or PersonalNr='-' Order By "
       "AlgorithmCode"},
      {StaffStatement(" 7 "), "Select * From Personalstamm Where PersonalNr=' 7 '"},
      {AlgorithmStatement("0103000000000000", "-"),
       "Select * From DoubletAlgorithms Where AlgorithmCode='0103000000000000' And "
       "PersonalNr='-'"},
      {PublicAlgorithmStatement("0103000000000000"),
       "Select * From DoubletAlgorithms Where AlgorithmCode='0103000000000000' And "
       "PersonalNr='-'"},
      // values go in unchanged, their quotes doubled
      {VisibleAlgorithmsStatement("x' or '1'='1"),
       "Select * From DoubletAlgorithms Where PersonalNr='x'' or ''1''=''1' or PersonalNr='-' "
       "Order By AlgorithmCode"},
      {AlgorithmStatement("'", "O'Brien"),
       "Select * From DoubletAlgorithms Where AlgorithmCode='''' And PersonalNr='O''Brien'"},
      {StaffStatement("Ä ß"), "Select * From Personalstamm Where PersonalNr='Ä ß'"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.made, c.expected);
}

TEST(Rights, OwnersAndUsers) {
  EXPECT_TRUE(IsPublicOwner("-"));
  for (const char* owner : {"", " -", "- ", "--", "x-"}) EXPECT_FALSE(IsPublicOwner(owner)) << owner;

  const struct {
    const char* owner;
    const char* user;
    bool admin;
    bool see, edit;
  } cases[] = {
      {"-", "1001", false, true, false},   {"1001", "1001", false, true, true},
      {"1002", "1001", false, false, true}, {"", "", false, true, true},
      {" -", "", false, false, true},       {"1002", "", true, true, true},
      {"-", "", true, true, true},          {"1001", "1001 ", false, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MaySee(c.owner, c.user, c.admin), c.see) << c.owner << "/" << c.user << "/" << c.admin;
    EXPECT_EQ(MayEdit(c.owner, c.admin), c.edit) << c.owner << "/" << c.admin;
    EXPECT_EQ(MayDelete(c.owner, c.admin), c.edit) << c.owner << "/" << c.admin;
  }
  const struct {
    const char* user;
    bool admin, create;
  } creators[] = {{"", false, false}, {"   ", false, false}, {"", true, true},
                  {"1001", false, true}, {"-", false, true}, {" 7", false, true}};
  for (const auto& c : creators) EXPECT_EQ(MayCreate(c.user, c.admin), c.create) << c.user;
}

}  // namespace
}  // namespace korvix
