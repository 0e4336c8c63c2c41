// Linking records into groups: keys of several algorithms joined, groups
// that refuse a record one of their members tells apart, and keys shared
// by more records than the limit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "dedupe/link/linking.h"
#include "korvix/dedupe.h"

namespace korvix {
namespace {

DedupeResult Link(const std::vector<std::string>& strings, const DedupeOptions& options) {
  const std::vector<std::string_view> records(strings.begin(), strings.end());
  return DedupeRecords(records, options);
}

std::vector<std::uint32_t> Groups(const DedupeResult& result) {
  std::vector<std::uint32_t> groups;
  for (const DedupeRecord& r : result.records) groups.push_back(r.group);
  return groups;
}

// Keys of two algorithms link records into chains: the three or four are
// one group, whichever record the links reach first, also when a later link
// starts from a record that is no longer its group's first.
TEST(Linking, LinksJoinWholeGroups) {
  DedupeOptions options;
  options.algorithms = {{"0105000000000000", ""}, {"0510000000000000", ""}};  // PLZ; Bez1
  for (const auto& records : std::vector<std::vector<std::string>>{
           {"10115||||Meier", "20095||||Schulz", "10115||||Schulz"},
           {"20095||||Schulz", "10115||||Meier", "10115||||Schulz", "30000||||Ende"},
           {"10115||||Schulz", "10115||||Meier", "20095||||Schulz"},
           {"10115||||Meier", "20095||||Schulz", "10115||||Schulz", "20095||||Wagner"},
           {"10115||||Meier", "20095||||Wagner", "30000||||Schulz", "10115||||Schulz", "20095||||Schulz"}}) {
    const DedupeResult result = Link(records, options);
    EXPECT_EQ(result.groups, 1u) << records[0];
    for (std::size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(result.records[i].group, records[i] == "30000||||Ende" ? 0u : 1u) << records[i];
    }
  }
}

// A record without a first name scores high against two relatives at its
// address, who are two people: it cannot say which it is and joins neither,
// with the reason; one that matches only one customer joins it.
TEST(Linking, AGroupNeverHoldsTwoRecordsItsMembersTellApart) {
  DedupeOptions options = RecommendedDedupe();
  const std::vector<std::string> records = {
      "10115|Berlin|Hauptstraße 5|M|Müller|Hans", "10115|Berlin|Hauptstraße 5|M|Müller|",
      "10115|Berlin|Hauptstr. 5|M|Müller|Peter",  "20095|Hamburg|Markt 1|S|Schulz|Eva",
      "20095|Hamburg|Markt 1|S|Schulz|",          "20095|Hamburg|Markt 1|S|Schulz|Eva"};
  const DedupeResult result = Link(records, options);
  EXPECT_EQ(Groups(result), (std::vector<std::uint32_t>{0, 0, 0, 1, 1, 1}));
  ASSERT_EQ(result.kept_apart.size(), 2u);
  for (const DedupeKeptApart& k : result.kept_apart) {
    EXPECT_TRUE((k.a == 0 && k.b == 1) || (k.a == 1 && k.b == 2)) << k.a << "-" << k.b;
    EXPECT_EQ(std::pair(std::min(k.x, k.y), std::max(k.x, k.y)), std::pair(0u, 2u));
    EXPECT_EQ(k.rule, "first names differ");
    EXPECT_GE(k.score, options.verify);
  }
  // Each record's strongest pair, with the parts of its score: 3 and 5
  // for both, 3 and 4 (before 4 and 5, as strong) for 4.
  ASSERT_EQ(result.pairs.size(), 2u);
  EXPECT_LT(result.pairs[0].first_name, 1.0f);  // 3 and 4: a first name on one side only
  EXPECT_EQ(result.pairs[1].first_name, 1.0f);  // 3 and 5
}

// A record joining a group is checked against its first kCheckedMembers
// only: with ten records without a first name before Hans, Peter meets Hans
// and stays out; with 64, Hans is beyond the checked ones and Peter joins.
// Which group is the smaller, and the order of its records, decide it.
TEST(Linking, AJoinChecksTheFirstMembersOfTheLargerGroup) {
  DedupeOptions options = RecommendedDedupe();
  dedupe::SetCollapseCopiesForTesting(false);  // the nameless records are copies
  for (const auto& [nameless, peter_joins] : {std::pair{10, false}, std::pair{64, true}}) {
    std::vector<std::string> records(nameless, "10115|Berlin|Hauptstraße 5|M|Müller|");
    records.push_back("10115|Berlin|Hauptstraße 5|M|Müller|Hans");
    records.push_back("10115|Berlin|Hauptstraße 5|M|Müller|Peter");
    const std::vector<std::uint32_t> groups = Groups(Link(records, options));
    EXPECT_EQ(std::count(groups.begin(), groups.end(), 1u), nameless + 1 + (peter_joins ? 1 : 0)) << nameless;
    EXPECT_EQ(groups.back(), peter_joins ? 1u : 0u) << nameless;
  }
  dedupe::SetCollapseCopiesForTesting(true);
}

// A pair exactly at the threshold links; one just below does not.
TEST(Linking, TheThresholdIsReached) {
  const std::vector<std::string> records = {"1|X|Weg 5|A|Becker|Hans", "1|X|Weg 5|A|Becker|Hans",
                                            "1|X|Weg 5|A|Becker|H."};
  DedupeOptions options;
  options.algorithms = {{"0105000000000000", ""}};
  for (const auto& [verify, groups] : {std::pair{1.0, std::vector<std::uint32_t>{1, 1, 0}},
                                       std::pair{0.9, std::vector<std::uint32_t>{1, 1, 1}},
                                       std::pair{0.9001, std::vector<std::uint32_t>{1, 1, 0}}}) {
    options.verify = verify;
    EXPECT_EQ(Groups(Link(records, options)), groups) << verify;
  }
}

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
    std::size_t compared;  // at each postcode: all ten pairs, or one in each part of two
  } cases[] = {
      {200, 0, nullptr, 120},
      {3, 11,
       "2 more keys are shared by more than 3 records; they too are compared only within equal "
       "postcode, house number and name sound", 24},
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
  for (const auto& c : cases) {
    DedupeOptions options;
    options.algorithms = {{"0105000000000000", ""}};
    options.verify = 0.8;
    options.max_candidates = c.max_candidates;
    options.sample_pairs = 1000;  // more than are scored: every pair compared
    EXPECT_EQ(DedupeRecords(records, options).samples.size(), c.compared) << c.max_candidates;
  }
}

// Against a base, a key shared by more records than the limit is split
// too; its parts still pair a new record with a base record, never two new
// ones. The base's second record is alike but apart from the first new one
// by its house number's letter: it scores high, but shares no part with it.
TEST(Linking, LargeKeysAgainstABasePairOnlyAcrossTheFiles) {
  const std::vector<std::string> news = {"10115|Berlin|Hauptstr. 1|M|Meier|Hans", "10115|Berlin|Hauptstr. 1|M|Meier|Hans"};
  const std::vector<std::string> base = {"10115|Berlin|Hauptstr. 1|M|Meier|Hans", "10115|Berlin|Hauptstr. 1a|M|Meier|Hans"};
  const std::vector<std::string_view> records(news.begin(), news.end()), base_records(base.begin(), base.end());
  DedupeOptions options;
  options.algorithms = {{"0105000000000000", ""}};  // the postcode alone
  options.max_candidates = 2;
  options.verify = 0.8;
  std::vector<std::string> notes;
  options.message = [&](const std::string& m) { notes.push_back(m); };
  const DedupeResult result = DedupeRecords(records, options, base_records);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("key \"10115\" of algorithm 1 is shared by 4 records"), std::string::npos) << notes[0];
  ASSERT_FALSE(result.pairs.empty());
  for (const DedupePair& p : result.pairs) {
    ASSERT_LT(p.a, news.size());
    ASSERT_LT(p.b, base.size());
    EXPECT_EQ(news[p.a], base[p.b]) << p.a << "-" << p.b;
  }
}

// Records of one profile are copies only where their keys agree too: nine
// that differ from nine others only in a field the profile leaves out (the
// customer group), under an algorithm that keys it, stay two groups.
TEST(Linking, CopiesOfOneProfileWithOtherKeysStayApart) {
  std::vector<std::string> strings;
  for (int i = 0; i < 18; ++i) {
    strings.push_back(std::string("10115|Berlin|Hauptstraße 1|LANG|Lang|Andrea|||") + (i % 2 ? "A" : "B"));
  }
  DedupeOptions options;
  options.algorithms = {{"01050000000000000901000000000000", ""}};
  options.verify = 0.7;
  const std::vector<std::uint32_t> groups = Groups(Link(strings, options));
  ASSERT_EQ(groups.size(), strings.size());
  for (std::size_t i = 0; i < groups.size(); ++i) EXPECT_EQ(groups[i], groups[i % 2]) << i;
  EXPECT_NE(groups[0], 0u);
  EXPECT_NE(groups[0], groups[1]);
}

// Copies are compared once, not pairwise, and change nothing: records,
// groups, best partners, the refused links and the pairs counted are those
// of comparing every pair. The households hold a firm and relatives that
// its copies must not chain together, names that sound alike share a part
// of a split key (Jan, Jana), so that copies of one lie apart in it or
// are first paired under a later key, and near-copies make a class link
// outside itself. Candidate pairs made in batches of a few pairs change
// nothing either, within the file or against a base.
TEST(Linking, CopiesComparedOnceChangeNothing) {
  const std::vector<std::string> kinds = {
      "|Lang|A.", "|Lang|Andrea", "|Lang|Anke", "|Lang Bau GmbH|", "|Lang|Jan", "|Lang|Jana",
      "|Langg|Andrea", "|Lang|", "|Dr. Lang|Andrea", "|Lang|Andrea jun."};
  std::mt19937 random(7);
  std::vector<std::string> strings;
  for (int address = 0; address < 12; ++address) {
    for (const std::string& kind : kinds) {
      // Two towns at one postcode and street: the keys of the address differ
      // from those of the town, and so do the parts of a split key.
      const std::string at = std::to_string(10115 + address % 3) + (random() % 2 ? "|Berlin|" : "|Potsdam|") +
                             (address % 2 ? "Hauptstraße " : "Hauptstr. ") + std::to_string(1 + address / 4) + "|";
      const int copies = std::array{0, 1, 2, 3, 9, 40}[random() % 6];
      for (int c = 0; c < copies; ++c) strings.push_back(at + kind);
    }
  }
  std::shuffle(strings.begin(), strings.end(), random);
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("korvix-copies-" + std::to_string(::getpid()) + ".txt")).string();
  std::ofstream(path) << [&] {
    std::string all;
    for (const std::string& s : strings) all += s + "\n";
    return all;
  }();
  const auto run = [&](DedupeOptions options, bool collapse, std::uint64_t batch = 0) {
    dedupe::SetCollapseCopiesForTesting(collapse);
    dedupe::SetPairsPerBatchForTesting(batch);
    options.format = "csv";
    options.output = path + ".csv";
    const DedupeResult result = RunDedupe(path, options);
    dedupe::SetCollapseCopiesForTesting(true);
    dedupe::SetPairsPerBatchForTesting(0);
    std::ostringstream out;
    out << std::ifstream(options.output).rdbuf() << result.summary.substr(0, result.summary.find(", seconds"));
    for (const DedupeKeptApart& k : result.kept_apart) {
      out << k.a << ' ' << k.b << ' ' << k.score << ' ' << k.x << ' ' << k.y << ' ' << k.xy_score << k.rule << '\n';
    }
    return out.str();
  };
  for (const std::size_t max_candidates : {3u, 8u, 200u}) {
    for (const double verify : {0.5, 0.7, 0.95}) {
      DedupeOptions options = RecommendedDedupe();
      options.max_candidates = max_candidates;
      options.verify = verify;
      const std::string whole = run(options, true);
      EXPECT_TRUE(whole == run(options, false)) << max_candidates << " " << verify;
      if (verify == 0.7) {
        EXPECT_TRUE(whole == run(options, true, 3000)) << max_candidates;
        options.base = path;  // pairs across two files, in batches too
        EXPECT_TRUE(run(options, true) == run(options, true, 3000)) << max_candidates;
      }
    }
  }
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".csv");
}

// Memory sizes as written, and a run refused by the limit it would exceed:
// the keys alone, or the candidate pairs of a key that every record shares
// when pairs are sampled; without samples they are made in batches.
TEST(Linking, TheMemoryLimitRefusesWhatExceedsIt) {
  for (const auto& [text, bytes] : std::vector<std::pair<std::string, std::uint64_t>>{
           {"123", 123}, {"512M", 512u << 20}, {"2G", std::uint64_t{2} << 30}, {"2g", std::uint64_t{2} << 30},
           {"1.5K", 1536}, {"1T", std::uint64_t{1} << 40}, {"", 0}, {"0", 0}, {"2X", 0}, {"-1", 0}, {"G", 0},
           {"1e5", 0}, {"0.5", 0}}) {
    if (bytes == 0) {
      EXPECT_THROW(ReadMemorySize(text), Error) << text;
    } else {
      EXPECT_EQ(ReadMemorySize(text), bytes) << text;
    }
  }
  const std::uint64_t machine =
      static_cast<std::uint64_t>(::sysconf(_SC_PHYS_PAGES)) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  EXPECT_EQ(DefaultDedupeMemory(), machine / 2);
  std::vector<std::string> strings;
  for (int i = 0; i < 2000; ++i) strings.push_back("10115|Berlin|Weg " + std::to_string(i) + "|N" + std::to_string(i));
  DedupeOptions options;
  options.algorithms = {{"0105000000000000", ""}};  // the postcode alone
  options.verify = 0.5;
  options.max_candidates = 5000;  // all pairs: two million
  for (const auto& [memory, sample, refused] : std::vector<std::tuple<std::uint64_t, int, std::string>>{
           {1024, 0, "the memory limit of 1.0 KiB is less than"},
           {32u << 20, 10, "the candidate pairs of the keys"},
           {32u << 20, 0, ""},
           {std::uint64_t{1} << 30, 10, ""}}) {
    options.memory = memory;
    options.sample_pairs = sample;
    try {
      Link(strings, options);
      EXPECT_EQ(refused, "") << memory;
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::kRefused);
      EXPECT_TRUE(std::string(e.what()).starts_with(refused)) << e.what();
      EXPECT_NE(std::string(e.what()).find(MemorySizeText(memory)), std::string::npos) << e.what();
      EXPECT_NE(refused, "") << e.what();
    }
  }
}

// What people decided beats the scores: records decided different never
// share a group, not through a record both resemble; records decided the
// same always do, without a key in common; a decided survivor stays; and
// decisions that contradict each other are refused with their chain.
TEST(Linking, DecisionsOverruleKeysAndScores) {
  const std::vector<std::string> records = {
      "10115|Berlin|Hauptstraße 5|M|Müller|Hans|||1", "10115|Berlin|Hauptstraße 5|M|Müller|Hans|||2",
      "10115|Berlin|Hauptstr. 5|M|Müller|H.|||3", "20095|Hamburg|Markt 1|S|Schulz|Eva|||4"};
  const auto id = [](int n) { return RecordIdentity("", std::to_string(n)); };
  const auto content = [&](int n) { return RecordIdentity(records[n - 1], ""); };
  using K = DecisionKind;
  const auto D = [](K kind, std::string a, std::string b = "") { return Decision{kind, a, b, "", "", "", ""}; };
  const struct {
    bool verify;
    std::string id;  // the id item, "" for content
    std::vector<Decision> decisions;
    std::vector<std::uint32_t> groups;  // "" when refused
    std::uint32_t survivor;             // of the first record
  } cases[] = {
      {true, "9", {}, {1, 1, 1, 0}, 0},
      {true, "9", {D(K::kDifferent, id(1), id(3))}, {1, 1, 0, 0}, 0},
      {true, "", {D(K::kDifferent, content(3), content(1))}, {1, 1, 0, 0}, 0},
      {false, "9", {D(K::kDifferent, id(1), id(3))}, {1, 1, 0, 0}, 0},
      {true, "9", {D(K::kSame, id(4), id(1))}, {1, 1, 1, 1}, 0},
      {false, "9", {D(K::kSame, id(4), id(1))}, {1, 1, 1, 1}, 0},
      {true, "9", {D(K::kSame, id(1), id(4)), D(K::kDifferent, id(4), id(3))}, {1, 1, 0, 1}, 0},
      {true, "9", {D(K::kSurvivor, id(3)), D(K::kSurvivor, id(2))}, {1, 1, 1, 0}, 1},
      {true, "9", {D(K::kSame, id(1), id(2)), D(K::kSame, id(4), id(2)), D(K::kDifferent, id(1), id(4))}, {}, 0},
  };
  for (const auto& c : cases) {
    DedupeOptions options = RecommendedDedupe();
    if (!c.verify) options = DedupeOptions();
    if (!c.verify) options.algorithms = {{"0105000000000000", ""}};
    options.id = c.id;
    options.decisions = c.decisions;
    options.survivor = "first";
    SCOPED_TRACE(c.decisions.empty() ? "none" : c.decisions.back().a + " " + c.decisions.back().b);
    if (c.groups.empty()) {
      EXPECT_THAT([&] { Link(records, options); },
                  ::testing::ThrowsMessage<Error>(::testing::HasSubstr("id:1 = id:2 = id:4")));
      continue;
    }
    const DedupeResult result = Link(records, options);
    EXPECT_EQ(Groups(result), c.groups);
    EXPECT_EQ(result.records[0].survivor, c.survivor);
    const bool forced = c.decisions.size() > 0 && c.decisions[0].kind == K::kSame;
    EXPECT_EQ(result.records[3].decided, forced);
  }
}

}  // namespace
}  // namespace korvix
