#include "platform/db/target.h"

#include <gtest/gtest.h>

namespace korvix::db {
namespace {

TEST(TargetTest, TellsPostgresFromSqlite) {
  struct Case {
    const char* target;
    bool postgres;
  };
  const Case cases[] = {
      {"postgresql://db.example/korvix", true},
      {"postgres://user@db/korvix?sslmode=disable", true},
      {"postgresql:///korvix?host=/tmp", true},
      {"host=localhost dbname=korvix", true},
      {"dbname=korvix", true},
      {"  host = /tmp  port=5433 ", true},
      {"korvix.sqlite", false},
      {"/var/lib/korvix/korvix.db", false},
      {"./host=x.db", false},
      {"data=1.sqlite", false},  // no libpq keyword
      {"file:korvix.db?mode=ro", false},
      {"POSTGRESQL://db/korvix", false},  // libpq knows the scheme in lower case only
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPostgresTarget(c.target), c.postgres) << c.target;
  }
}

}  // namespace
}  // namespace korvix::db
