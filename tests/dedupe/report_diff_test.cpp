// The character alignment that marks how a record differs from its group's first.
#include "dedupe/report/report_diff.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "case_file.h"

namespace korvix::dedupe {
namespace {

// The script as one line: a kept character as it is, the second text's
// replacing or inserted one as [c], the first text's deleted one as {c}.
std::string Shown(CharDiff& diff, const std::string& from, const std::string& to) {
  const text::Text a = text::Decode(from), b = text::Decode(to);
  std::string out;
  std::size_t i = 0, j = 0;
  for (const Edit e : diff.Diff(a, b)) {
    const char32_t c = e == Edit::kDelete ? a[i] : b[j];
    const char* open = e == Edit::kKeep ? "" : e == Edit::kDelete ? "{" : "[";
    out += open;
    text::AppendUtf8(c, &out);
    out += e == Edit::kKeep ? "" : e == Edit::kDelete ? "}" : "]";
    i += e != Edit::kInsert;
    j += e != Edit::kDelete;
  }
  EXPECT_EQ(i, a.size()) << from;
  EXPECT_EQ(j, b.size()) << to;
  return out;
}

TEST(CharDiff, FewestEditsOnCharactersNotBytes) {
  CharDiff diff;  // one for all, as a report uses it
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dedupe/cases/char_diff.tsv", 3)) {
    EXPECT_EQ(Shown(diff, c[0], c[1]), c[2]) << c.where;
  }
}

TEST(CharDiff, LongRecordsAreComparedWithoutTheTable) {
  // Past the table's limit the common ends still count and the middles are
  // replaced in one piece, at once and without gigabytes.
  const std::string from = "A" + std::string(5000, 'x') + "Z";
  const std::string to = "A" + std::string(4000, 'y') + "Z";
  CharDiff diff;
  const std::string shown = Shown(diff, from, to);
  EXPECT_EQ(shown.substr(0, 4), "A[y]");
  EXPECT_EQ(shown.substr(shown.size() - 4), "{x}Z");
  EXPECT_EQ(shown.size(), 2 + 4000 * 3 + 1000 * 3u);
}

}  // namespace
}  // namespace korvix::dedupe
