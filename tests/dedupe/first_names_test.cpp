// First names: which spellings are one name, which are two, compounds, and
// the list itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
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

TEST(FirstNames, SexOfAForm) {
  const struct {
    const char* word;
    char sex;
  } cases[] = {
      {"JUERGEN", 'm'}, {"KATHRIN", 'f'}, {"ANDREA", 'u'},  // listed so
      {"ALEX", 'u'},    {"CHRIS", 'u'},   {"TONI", 'u'},    // short for a man's and a woman's name
      {"MUELLER", 'u'},                                      // not a name
  };
  for (const auto& c : cases) EXPECT_EQ(LookupFirstName(c.word).sex, c.sex) << c.word;
}

TEST(FirstNames, LookupTakesTheWordExactly) {
  EXPECT_TRUE(LookupFirstName("JUERGEN").known());
  EXPECT_FALSE(LookupFirstName("Juergen").known());   // not normalised
  EXPECT_FALSE(LookupFirstName("JUERGEN ").known());
  EXPECT_FALSE(LookupFirstName("JUERGE").known());
  EXPECT_FALSE(LookupFirstName("JUERGENS").known());
  EXPECT_FALSE(LookupFirstName(std::string_view("JUERGEN\0", 8)).known());
  EXPECT_FALSE(LookupFirstName("").known());
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
  int number;
  std::string main;
  std::vector<std::string> forms;  // the main form first
};

std::vector<Line> ReadList(std::vector<std::string>* problems) {
  const char* dir = std::getenv("KORVIX_SOURCE_DIR");
  const std::filesystem::path root =
      dir != nullptr ? std::filesystem::path(dir) : std::filesystem::path(__FILE__).parent_path() / "../..";
  std::ifstream in(root / "data/first_names.tsv", std::ios::binary);
  if (!in) problems->push_back("cannot read data/first_names.tsv under " + root.string());
  std::vector<Line> lines;
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    const auto problem = [&](const std::string& what) {
      problems->push_back("line " + std::to_string(number) + ": " + what + ": " + text);
    };
    if (text.empty() || text[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream split(text);
    for (std::string f; std::getline(split, f, '\t');) fields.push_back(f);
    if (!text.empty() && text.back() == '\t') fields.push_back("");
    if (fields.size() < 2 || fields.size() > 3) {
      problem("not NAME, SEX and VARIANTS");
      continue;
    }
    if (fields[1] != "m" && fields[1] != "f" && fields[1] != "u") problem("sex not m, f or u");
    Line line{number, fields[0], {fields[0]}};
    if (fields.size() == 3 && !fields[2].empty()) {
      std::istringstream variants(fields[2] + ",");
      for (std::string v; std::getline(variants, v, ',');) line.forms.push_back(v);
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
    EXPECT_EQ(FirstNameGroupName(group), Normal(line.main)) << "line " << line.number;
    EXPECT_TRUE(mains.insert(Normal(line.main)).second) << "line " << line.number << ": " << line.main << " twice";
    // A name with a line of its own under another name would make the two
    // one: most likely a typo, or two names that only look alike.
    const FirstName main = LookupFirstName(Normal(line.main));
    ASSERT_EQ(main.groups.size(), 1u) << "line " << line.number << ": " << line.main << " is also a form of another name";
    EXPECT_EQ(main.groups[0], group) << "line " << line.number;
    // Every form is found as the normaliser writes it.
    for (const std::string& form : line.forms) {
      const FirstName f = LookupFirstName(Normal(form));
      EXPECT_TRUE(std::find(f.groups.begin(), f.groups.end(), group) != f.groups.end())
          << "line " << line.number << ": " << form << " as " << Normal(form);
    }
  }
}

}  // namespace
}  // namespace korvix::dedupe
