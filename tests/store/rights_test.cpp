#include "store/rights.h"

#include <gtest/gtest.h>

#include "case_file.h"
#include "korvix/algorithm_store.h"

namespace korvix {
namespace {

TEST(Rights, OwnersAndUsers) {
  for (const testing::Case& c : testing::ReadCases("store/cases/rights_by_owner.tsv", 5)) {
    const bool admin = c[2] == "1", edit = c[4] == "1";
    EXPECT_EQ(IsPublicOwner(c[0]), c[0] == "-") << c.where;
    EXPECT_EQ(MaySee(c[0], c[1], admin), c[3] == "1") << c.where;
    EXPECT_EQ(MayEdit(c[0], admin) && MayDelete(c[0], admin), edit) << c.where;
    EXPECT_EQ(MayEdit(c[0], admin) || MayDelete(c[0], admin), edit) << c.where;
  }
  const std::pair<const char*, bool> users[] = {{"", false}, {"   ", false}, {"1001", true}, {"-", true}};
  for (const auto& [user, create] : users) EXPECT_EQ(MayCreate(user, false), create) << user;
  EXPECT_TRUE(MayCreate("", true));
}

}  // namespace
}  // namespace korvix
