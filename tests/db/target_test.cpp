#include "db/target.h"

#include <gtest/gtest.h>

namespace korvix::db {
namespace {

TEST(TargetTest, TellsPostgresFromSqlite) {
  const std::pair<const char*, bool> cases[] = {
      {"postgresql://db.example/korvix", true}, {"postgres://user@db/korvix?sslmode=disable", true},
      {"host=localhost dbname=korvix", true},   {"  host = /tmp  port=5433 ", true},
      {"korvix.sqlite", false},                 {"./host=x.db", false},
      {"data=1.sqlite", false},  // no libpq keyword
      {"file:korvix.db?mode=ro", false},
      {"POSTGRESQL://db/korvix", false},  // libpq knows the scheme in lower case only
      {"", false}};
  for (const auto& [target, postgres] : cases) EXPECT_EQ(IsPostgresTarget(target), postgres) << target;
}

}  // namespace
}  // namespace korvix::db
