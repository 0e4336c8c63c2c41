// The reader of case files: a broken table must fail, never test nothing.
#include "case_file.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace korvix::testing {
namespace {

TEST(CaseFile, FieldsEscapesAndCommentsAndLoudFailures) {
  const auto cases = ParseCases("# a comment\n\na\t\\x41\\t\\\\\t\r\n\tx\t\\n\n", 3, "t");
  ASSERT_EQ(cases.size(), 2u);
  EXPECT_EQ(cases[0].fields, (std::vector<std::string>{"a", "A\t\\", ""}));
  EXPECT_EQ(cases[0].where, "t:3");
  EXPECT_EQ(cases[1].fields, (std::vector<std::string>{"", "x", "\n"}));
  for (const char* broken : {"", "# only a comment\n", "a\tb\n", "a\tb\tc\td\n", "a\tb\t\\q\n",
                             "a\tb\t\\x4\n"}) {
    EXPECT_THROW(ParseCases(broken, 3, "t"), std::runtime_error) << broken;
  }
  EXPECT_THROW(ReadCases("no/such/file.tsv", 1), std::runtime_error);
  EXPECT_EQ(SplitField("a;;b;"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_TRUE(SplitField("").empty());
}

}  // namespace
}  // namespace korvix::testing
