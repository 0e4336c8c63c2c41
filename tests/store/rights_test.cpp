#include "store/rights.h"

#include <gtest/gtest.h>

#include "korvix/algorithm_store.h"

namespace korvix {
namespace {

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
