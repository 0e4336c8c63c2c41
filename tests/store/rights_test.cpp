#include "store/rights.h"

#include <gtest/gtest.h>

#include "korvix/algorithm_store.h"

namespace korvix {
namespace {

TEST(Rights, OwnersAndUsers) {
  for (const char* owner : {"", " -", "- ", "--", "x-"}) EXPECT_FALSE(IsPublicOwner(owner)) << owner;
  const struct {
    const char *owner, *user;
    bool admin, see, edit;
  } cases[] = {{"-", "1001", false, true, false},   {"1001", "1001", false, true, true},
               {"1002", "1001", false, false, true}, {"", "", false, true, true},
               {" -", "", false, false, true},       {"1002", "", true, true, true},
               {"-", "", true, true, true},          {"1001", "1001 ", false, false, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(MaySee(c.owner, c.user, c.admin), c.see) << c.owner << "/" << c.user << "/" << c.admin;
    EXPECT_EQ(MayEdit(c.owner, c.admin) && MayDelete(c.owner, c.admin), c.edit) << c.owner;
    EXPECT_EQ(MayEdit(c.owner, c.admin) || MayDelete(c.owner, c.admin), c.edit) << c.owner;
  }
  const std::pair<const char*, bool> users[] = {{"", false}, {"   ", false}, {"1001", true}, {"-", true}};
  for (const auto& [user, create] : users) EXPECT_EQ(MayCreate(user, false), create) << user;
  EXPECT_TRUE(MayCreate("", true));
}

}  // namespace
}  // namespace korvix
