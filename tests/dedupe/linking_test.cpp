// A key shared by more records than the limit: split by the second key, and
// named in the notes, the first ten of them.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "korvix/dedupe.h"

namespace korvix {
namespace {

TEST(Linking, LargeKeysAreSplitBySecondKeyAndNamedTenAtMost) {
  // Per postcode: two duplicates of one person, two of another, one alone.
  std::vector<std::string> strings;
  for (int plz = 10000; plz < 10012; ++plz) {
    const std::string p = std::to_string(plz) + "|Berlin|";
    for (const char* rest : {"Hauptstraße 1|M|Meier|Hans", "Hauptstr. 1|M|Meier|Hans",
                             "Gartenweg 7|S|Schulz|Erika", "Gartenweg 7|S|Schulz|Erika",
                             "Lindenallee 3|W|Wagner|Karl"}) {
      strings.push_back(p + rest);
    }
  }
  const std::vector<std::string_view> records(strings.begin(), strings.end());
  const struct {
    std::size_t max_candidates;
    std::size_t named;
    const char* last;
  } cases[] = {
      {200, 0, nullptr},
      {3, 11,
       "2 more keys are shared by more than 3 records; they too are compared only within equal "
       "postcode, house number and name sound"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.max_candidates);
    DedupeOptions options;
    options.algorithms = {{"0105000000000000", ""}};  // the postcode alone
    options.verify = 0.8;
    options.max_candidates = c.max_candidates;
    std::vector<std::string> notes;
    options.message = [&](const std::string& m) { notes.push_back(m); };
    const DedupeResult result = DedupeRecords(records, options);
    // The split keeps every duplicate pair: both people found at each postcode.
    EXPECT_EQ(result.groups, 24u);
    for (std::size_t i = 0; i < result.records.size(); ++i) {
      EXPECT_EQ(result.records[i].group == 0, i % 5 == 4) << strings[i];
    }
    ASSERT_EQ(notes.size(), c.named);
    if (c.named == 0) continue;
    EXPECT_EQ(notes.front(),
              "key \"10000\" of algorithm 1 is shared by 5 records, more than 3; they are compared "
              "only within equal postcode, house number and name sound");
    EXPECT_EQ(notes.back(), c.last);
  }
}

}  // namespace
}  // namespace korvix
