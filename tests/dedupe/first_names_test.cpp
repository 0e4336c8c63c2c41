// First names: which spellings are one name, which are two, compounds, and
// the list itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "case_file.h"
#include "dedupe/compare/first_names.h"
#include "dedupe/compare/normalize.h"
#include "korvix/algorithm_code.h"

namespace korvix::dedupe {
namespace {

using korvix::testing::Case;
using korvix::testing::ReadCases;

// A name as a customer file gives it, as the scorer will look it up.
std::string Normal(std::string_view name) {
  std::string out;
  Normalizer().Field(kFieldBez2, name, &out);
  return out;
}

const char* Show(NameRelation r) {
  return r == NameRelation::kSame ? "same" : r == NameRelation::kDifferent ? "different" : "unknown";
}

TEST(FirstNames, HowTwoNamesRelate) {
  for (const Case& c : ReadCases("dedupe/cases/first_names.tsv", 3)) {
    const std::string a = Normal(c[0]), b = Normal(c[1]);
    EXPECT_STREQ(Show(CompareFirstNames(a, b)), c[2].c_str()) << c.where << " (" << a << " / " << b << ")";
    EXPECT_STREQ(Show(CompareFirstNames(b, a)), c[2].c_str()) << c.where << " the other way";
  }
}

TEST(FirstNames, LookupTakesTheWordExactlyAndTellsTheSex) {
  for (const Case& c : ReadCases("dedupe/cases/first_name_lookups.tsv", 3)) {
    const FirstName name = LookupFirstName(c[0]);
    EXPECT_EQ((name.known() ? "1 " : "0 ") + std::string(1, name.sex), c[1] + " " + c[2]) << c.where;
  }
}

TEST(FirstNames, CompoundWrittenAsOneWord) {
  for (const Case& c : ReadCases("dedupe/cases/compound_first_names.tsv", 3)) {
    std::string_view first = "unset", second = "unset";
    const bool split = SplitCompoundFirstName(c[0], &first, &second);
    EXPECT_EQ(split ? std::string(first) + " " + std::string(second) : "- -", c[1] + " " + c[2]) << c.where;
  }
}

// The list as checked in: one name a line, NAME<TAB>SEX<TAB>VARIANTS.
struct Line {
  std::string where;
  std::string main;
  std::vector<std::string> forms;  // the main form first
};

// A line with another number of fields fails to read.
std::vector<Line> ReadList(std::vector<std::string>* problems) {
  std::vector<Line> lines;
  for (const Case& c : ReadCases("../data/first_names.tsv", 2, 3)) {
    const auto problem = [&](const std::string& what) { problems->push_back(c.where + ": " + what); };
    if (c[1] != "m" && c[1] != "f" && c[1] != "u") problem("sex not m, f or u");
    Line line{c.where, c[0], {c[0]}};
    if (c.fields.size() == 3) {
      for (const std::string& v : korvix::testing::SplitField(c[2], ',')) line.forms.push_back(v);
    }
    for (const std::string& form : line.forms) {
      // A blank or a stray character is a comma or a tab gone missing.
      const std::string key = Normal(form);
      const bool letters = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
      });
      if (!letters) problem("\"" + form + "\" is not a name");
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

TEST(FirstNames, TheList) {
  std::vector<std::string> problems;
  const std::vector<Line> lines = ReadList(&problems);
  for (const std::string& p : problems) ADD_FAILURE() << p;
  ASSERT_TRUE(problems.empty());
  // Every line became a group: the library holds the list as it is now.
  ASSERT_EQ(FirstNameGroupCount(), lines.size());
  EXPECT_GT(lines.size(), 1000u);

  std::set<std::string> mains;
  for (std::size_t g = 0; g < lines.size(); ++g) {
    const Line& line = lines[g];
    const auto group = static_cast<std::uint16_t>(g);
    EXPECT_EQ(FirstNameGroupName(group), Normal(line.main)) << line.where;
    EXPECT_TRUE(mains.insert(Normal(line.main)).second) << line.where << ": " << line.main << " twice";
    // A name with a line of its own under another name would make the two
    // one: most likely a typo, or two names that only look alike.
    const FirstName main = LookupFirstName(Normal(line.main));
    ASSERT_EQ(main.groups.size(), 1u) << line.where << ": " << line.main << " is also a form of another name";
    EXPECT_EQ(main.groups[0], group) << line.where;
    // Every form is found as the normaliser writes it.
    for (const std::string& form : line.forms) {
      const FirstName f = LookupFirstName(Normal(form));
      EXPECT_TRUE(std::find(f.groups.begin(), f.groups.end(), group) != f.groups.end())
          << line.where << ": " << form << " as " << Normal(form);
    }
  }
}

}  // namespace
}  // namespace korvix::dedupe
