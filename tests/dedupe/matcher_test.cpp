// The matcher: the same decisions as the dedupe job with a base, in memory,
// saved and loaded, grown and asked from several threads; damaged index
// files refused.
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "dedupe/match/index_file.h"
#include "korvix/key_builder.h"
#include "korvix/matcher.h"
#include "case_file.h"
#include "test_files.h"

namespace korvix::testing {
namespace {

// Record strings of the sample: the first `base` the base, the next `input`
// new ones; and at one address more people than max_candidates, on both sides.
struct Records {
  std::vector<std::string> base, input;
  std::vector<std::string_view> Views(const std::vector<std::string>& v) const { return {v.begin(), v.end()}; }
};
Records SampleRecords(std::size_t base, std::size_t input) {
  std::istringstream lines(ReadFile(SourcePath("data/sample.txt")));
  Records r;
  for (std::string line; std::getline(lines, line);) {
    if (r.base.size() < base) {
      r.base.push_back(line);
    } else if (r.input.size() < input) {
      r.input.push_back(line);
    }
  }
  const char* names[] = {"Lang|Andrea", "Lang|Anke", "Lang|A.", "Lang|Andreas", "Lang|Anna", "Lange|Andrea",
                         "Lang|Bernd", "Lang|Berta", "Lang|", "Lang|Andrea", "Lank|Andrea", "Lang|Anke"};
  for (std::size_t i = 0; i < std::size(names); ++i) {
    (i % 3 == 0 ? r.input : r.base)
        .push_back(std::string("10115|Berlin|Hauptstraße 1|LANG|") + names[i] + "|||" + (i % 2 ? "B" : "EH"));
  }
  return r;
}

DedupeOptions Options() {
  DedupeOptions o = RecommendedDedupe();
  o.max_candidates = 6;  // the address above is a large key
  o.id = "4";
  return o;
}

// What `m` finds for each input record: each candidate's record, exact score and id.
std::string MatchAll(const Matcher& m, const Records& r) {
  std::ostringstream out;
  for (const std::string& record : r.input) {
    for (const MatchCandidate& c : m.Match(record, 1000)) out << c.record << ' ' << std::hexfloat << c.score << ' ' << c.id << ';';
    out << '\n';
  }
  return out.str();
}

TEST(Matcher, DecidesAsTheJobWithABaseAndKeepsThatSavedAndLoaded) {
  const Records r = SampleRecords(1500, 300);
  const DedupeOptions options = Options();
  const auto base = r.Views(r.base);
  const Matcher matcher(base, options);
  ASSERT_EQ(matcher.size(), r.base.size());
  std::size_t matched = 0;
  for (const std::string& record : r.input) {
    const std::string_view one[] = {record};
    const DedupeResult want = DedupeRecords(one, options, base);
    const std::vector<MatchCandidate> got = matcher.Match(record, 1000);
    ASSERT_EQ(got.size(), want.pairs.size()) << record;
    for (std::size_t i = 0; i < got.size(); ++i) {
      const DedupePair& p = want.pairs[i];
      EXPECT_EQ(std::tie(got[i].record, got[i].algorithm, got[i].score, got[i].first_name, got[i].street),
                std::tie(p.b, p.algorithm, p.score, p.first_name, p.street)) << record;
    }
    matched += !got.empty();
    if (!got.empty()) {
      EXPECT_EQ(got[0].id, GetDataField(r.base[got[0].record], 4));  // the Suchbegriff, the id of Options()
      EXPECT_EQ(matcher.Match(record, 1).size(), 1u);
    }
  }
  EXPECT_GT(matched, 30u);

  TempDir dir;
  matcher.Save(dir.Path("base.kxi"));
  const Matcher loaded = Matcher::Load(dir.Path("base.kxi"));
  EXPECT_EQ(MatchAll(loaded, r), MatchAll(matcher, r));
  EXPECT_EQ(loaded.options().max_candidates, 6u);
  EXPECT_EQ(loaded.options().id, "4");
}

TEST(Matcher, FindsWhatWasAddedThenAndAfterSaving) {
  const Records r = SampleRecords(200, 0);
  Matcher matcher(r.Views(r.base), Options());
  const std::string customer = "04109|Leipzig|Querweg 7|QUAST|Quast|Hildegard|||EH";
  EXPECT_TRUE(matcher.Match(customer).empty());
  const std::uint32_t number = matcher.Add(customer, "K-1");
  EXPECT_EQ(number, r.base.size());
  TempDir dir;
  matcher.Save(dir.Path("a.kxi"));
  Matcher loaded = Matcher::Load(dir.Path("a.kxi"));
  for (const Matcher* m : {&matcher, &loaded}) {
    const auto found = m->Match("04109|Leipzig|Querweg  7|QUAST|Quast|Hildegard|||EH");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].record, number);
    EXPECT_EQ(found[0].id, "K-1");
  }
  // A second record under the same keys, added to a loaded index.
  EXPECT_EQ(loaded.Add(customer, "K-2"), number + 1);
  loaded.Save(dir.Path("a.kxi"));
  EXPECT_EQ(Matcher::Load(dir.Path("a.kxi")).Match(customer).size(), 2u);
}

TEST(Matcher, AnswersFourThreadsAtOnceAsOne) {
  const Records r = SampleRecords(1000, 200);
  const Matcher matcher(r.Views(r.base), Options());
  const auto want = MatchAll(matcher, r);
  std::vector<std::future<std::string>> threads;
  for (int t = 0; t < 4; ++t) {
    threads.push_back(std::async(std::launch::async, [&] { return MatchAll(matcher, r); }));
  }
  for (auto& t : threads) EXPECT_EQ(t.get(), want);
}

// Every kind of damage is refused with a message that says which, never
// read past the file: cut short, grown, a flipped byte, another version,
// another kind of file, and sizes that lie under a correct checksum.
TEST(Matcher, RefusesDamagedIndexFiles) {
  const Records r = SampleRecords(50, 0);
  TempDir dir;
  Matcher(r.Views(r.base), Options()).Save(dir.Path("good.kxi"));
  const std::string good = ReadFile(dir.Path("good.kxi"));
  const auto sealed = [](std::string bytes) {  // the checksum made right again
    const auto* body = reinterpret_cast<const unsigned char*>(bytes.data()) + dedupe::kIndexHeader;
    const std::uint64_t sum = dedupe::IndexChecksum({body, bytes.size() - dedupe::kIndexHeader});
    std::memcpy(bytes.data() + 24, &sum, 8);
    return bytes;
  };
  const auto with = [&](std::size_t at, const std::string& bytes) {
    return good.substr(0, at) + bytes + good.substr(at + bytes.size());
  };
  const struct {
    const char* what;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"empty", "", "no korvix index file"},
      {"foreign", "PK\x03\x04 a zip file, not an index at all", "no korvix index file"},
      {"header cut", good.substr(0, 20), "header is cut short"},
      {"cut short", good.substr(0, good.size() - 1), "cut short or grown"},
      {"grown", good + "x", "cut short or grown"},
      {"flipped byte", with(good.size() / 2, std::string(1, static_cast<char>(good[good.size() / 2] ^ 1))),
       "checksum does not match"},
      {"other version", with(8, std::string("\x02\0\0\0", 4)), "format version 2"},
      {"record count lies", sealed(with(dedupe::kIndexHeader + 32, std::string("\xff\xff\xff\0\0\0\0\0", 8))),
       "past the end"},
      {"no algorithm", sealed(with(dedupe::kIndexHeader, std::string(4, '\0'))), "0 algorithms"},
      {"a key table lies", sealed(good.substr(0, good.size() - 8) + std::string("\xff\xff\xff\x0f\0\0\0\0", 8)),
       "damaged"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File("bad.kxi", c.bytes);
    try {
      Matcher::Load(path);
      ADD_FAILURE() << c.what << ": loaded";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::kIo) << c.what;
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
    }
  }
  EXPECT_EQ(Matcher::Load(dir.File("again.kxi", good)).size(), r.base.size());
}

}  // namespace
}  // namespace korvix::testing
