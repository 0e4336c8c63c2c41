// korvix dedupe against a straightforward grouping of the generated data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "korvix/key_builder.h"
#include "korvix/text.h"
#include "run_tool.h"

namespace korvix::testing {
namespace {

// The sample's own algorithm "Adresse und Name": PLZ, street, sound of Bez1.
const std::string kCode = "010500000000000003050000000000000504110000000000";

std::string SourceFile(const std::string& name) {
  const char* dir = std::getenv("KORVIX_SOURCE_DIR");
  std::ifstream in(std::string(dir != nullptr ? dir : ".") + "/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Group {
  std::string key;
  std::vector<std::uint64_t> lines;
  std::vector<std::string> records;
  bool operator==(const Group&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Group& g) {
  return os << g.key << " (" << g.lines.size() << " records, first line " << g.lines.front() << ")";
}

// The groups as a plain program finds them: a key per line, a map from key
// to lines, groups of two or more ordered by size, then by key.
std::vector<Group> ReferenceGroups(const std::string& records) {
  std::map<std::string, Group> by_key;
  std::istringstream in(records);
  std::string line;
  for (std::uint64_t number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    Group& g = by_key[BuildKey(kCode, line)];
    g.lines.push_back(number);
    g.records.push_back(NormalizeText(line));
  }
  std::vector<Group> groups;
  for (auto& [key, g] : by_key) {
    g.key = key;
    if (g.lines.size() >= 2) groups.push_back(g);
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const Group& a, const Group& b) { return a.lines.size() > b.lines.size(); });
  return groups;
}

// The groups of a text report.
std::vector<Group> ReportedGroups(const std::string& report) {
  std::vector<Group> groups;
  std::istringstream in(report);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("key ", 0) == 0) {
      groups.push_back({line.substr(4, line.rfind(" (") - 4), {}, {}});
    } else if (line.rfind("  ", 0) == 0) {
      const std::size_t colon = line.find(": ");
      groups.back().lines.push_back(std::stoull(line.substr(2, colon - 2)));
      groups.back().records.push_back(line.substr(colon + 2));
    }
  }
  return groups;
}

TEST(DedupeReference, SampleRecordsGroupAsAPlainGroupingDoes) {
  const std::string records = SourceFile("data/sample.txt");
  ASSERT_GT(records.size(), 100000u) << "KORVIX_SOURCE_DIR must name the source tree";
  const TempDir dir;
  const ToolResult r = RunTool({"dedupe", "--algorithm", kCode, dir.File("s.txt", records)});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<Group> expected = ReferenceGroups(records);
  EXPECT_GT(expected.size(), 100u);
  EXPECT_EQ(ReportedGroups(r.out), expected);
}

TEST(DedupeReference, SampleCsvGivesTheGroupsOfTheSampleRecords) {
  // The generator writes the same records to both files; in the CSV some
  // values span lines, so only the line numbers differ.
  const TempDir dir;
  const std::string txt = dir.File("s.txt", SourceFile("data/sample.txt"));
  const std::string csv = dir.File("s.csv", SourceFile("data/sample.csv"));
  const ToolResult a = RunTool({"dedupe", "--algorithm", kCode, txt});
  const ToolResult b = RunTool({"dedupe", "--algorithm", kCode, csv});
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(b.err, "");
  std::vector<Group> from_txt = ReportedGroups(a.out), from_csv = ReportedGroups(b.out);
  ASSERT_EQ(from_csv.size(), from_txt.size());
  EXPECT_GT(from_txt.size(), 100u);
  for (std::size_t i = 0; i < from_txt.size(); ++i) {
    from_txt[i].lines.clear();
    from_csv[i].lines.clear();
    EXPECT_EQ(from_csv[i], from_txt[i]);
  }
}

TEST(DedupeReference, ManyBatchesOfGeneratedRecordsGroupAsAPlainGroupingDoes) {
  // The sample forty times over, each copy in other postcodes: some 14 MB,
  // so keying runs in many batches on every thread and the sort in pieces.
  const std::string sample = SourceFile("data/sample.txt");
  std::string records;
  std::istringstream in(sample);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  for (int copy = 0; copy < 40; ++copy) {
    for (const std::string& l : lines) {
      std::string changed = l;
      changed[0] = static_cast<char>('0' + copy % 10);
      changed[1] = static_cast<char>('0' + copy / 10);
      records += changed + (copy % 7 == 3 ? "\r\n" : "\n");
    }
  }
  const TempDir dir;
  const ToolResult r = RunTool({"dedupe", "--algorithm", kCode, dir.File("big.txt", records)});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<Group> expected = ReferenceGroups(records);
  const std::vector<Group> reported = ReportedGroups(r.out);
  ASSERT_EQ(reported.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(reported[i], expected[i]) << i;
}

}  // namespace
}  // namespace korvix::testing
