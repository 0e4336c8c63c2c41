// Keying a whole input on several threads, and ordering the keys.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dedupe/core/big_allocator.h"
#include "dedupe/core/error.h"
#include "dedupe/key/key_stream.h"
#include "dedupe/core/key_table.h"
#include "dedupe/core/spill.h"
#include "dedupe/core/temp_files.h"
#include "dedupe/key/keying.h"
#include "dedupe/read/line_source.h"
#include "dedupe/compare/normalize.h"
#include "korvix/dedupe.h"
#include "case_file.h"
#include "test_files.h"

namespace korvix::dedupe {
namespace {

KeyTable TableOf(const std::vector<std::string>& keys) {
  KeyTable table;
  for (std::size_t i = 0; i < keys.size(); ++i) table.Add({&keys[i], 1}, {i + 1, 10 * i, 3});
  return table;
}

// What the order must be: a stable sort of the keys as unsigned bytes.
std::vector<std::uint32_t> ReferenceOrder(const std::vector<std::string>& keys) {
  std::vector<std::uint32_t> order(keys.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return std::lexicographical_compare(keys[a].begin(), keys[a].end(), keys[b].begin(), keys[b].end(),
                                        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
  });
  return order;
}

void ExpectOrderAndGroups(const std::vector<std::string>& keys, const std::string& what) {
  const KeyTable table = TableOf(keys);
  std::map<std::string, std::vector<std::uint32_t>> plain;
  for (std::uint32_t i = 0; i < keys.size(); ++i) plain[keys[i]].push_back(i);
  std::size_t groups = 0;
  for (const auto& [key, records] : plain) groups += records.size() >= 2;
  TempFolder temp;
  for (unsigned threads : {1u, 2u, 3u, 0u}) {  // 0: two, sorted in pieces through files and merged
    SCOPED_TRACE(what + ", " + std::to_string(threads) + " threads");
    const KeyOrder order =
        threads != 0 ? OrderByKey(table.column(0), threads) : std::move(OrderByKeys(table, 2, {}, {1, &temp})[0]);
    ASSERT_EQ(std::vector<std::uint32_t>(order.sorted.begin(), order.sorted.end()), ReferenceOrder(keys));
    ASSERT_EQ(order.groups.size(), groups);
    for (std::size_t g = 0; g < order.groups.size(); ++g) {
      const Group& group = order.groups[g];
      const std::string key(table.key(order.sorted[group.begin]));
      EXPECT_EQ(std::vector<std::uint32_t>(order.sorted.begin() + group.begin,
                                           order.sorted.begin() + group.begin + group.size),
                plain[key]);
      if (g > 0) {  // largest first, equal sizes by key
        const Group& before = order.groups[g - 1];
        EXPECT_TRUE(before.size > group.size ||
                    (before.size == group.size && table.key(order.sorted[before.begin]) < key));
      }
    }
  }
}

TEST(KeyTable, OrdersByBytesAndGroupsOnAnyNumberOfThreads) {
  using namespace std::string_literals;
  // Keys that differ only past the 24 bytes the sort compares first, prefixes
  // of others on both sides of that mark, bytes above 0x7F, a NUL byte that
  // the zero fill resembles, and equal keys that must stay in input order.
  ExpectOrderAndGroups({"12345HAUPTSTR-MR", "12345HAUPTSTR-MR-a-long-tail-b", "12345HAUPTSTR-MR-a-long-tail-a",
                        "12345HAUPTSTR-M", "12345HAUPTSTR-MR", "12345HAUPTSTR-MR\0"s,
                        "12345HAUPTSTR-M\0"s, "", "ÄRGER", "ZZZ", "12345HAUPTSTR-MR-a-long-tail-a",
                        "\x7f", "\x80", "", "12345678", "1234567", "12345HAUPTSTR-MR-a-long-",
                        "12345HAUPTSTR-MR-a-long-t", "12345HAUPTSTR-MR-a-long\0"s, "12345HAUPTSTR-MR-a-long"},
                       "tricky keys");
  std::mt19937 random(11);
  const auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + random() % 3));
    return s;
  };
  // Enough records for every thread; keys that collide often, or agree in
  // their leading bytes and leave the sort's buckets little to spread by.
  const struct {
    const char* what;
    std::function<std::string()> key;
  } cases[] = {
      {"varied", [&] { return std::to_string(10000 + random() % 50) + (random() % 2 ? "WEG" : "WEGSTR") + digits(static_cast<int>(random() % 12)); }},
      {"all equal", [] { return std::string("A--12345"); }},
      {"equal first 8 bytes", [&] { return "KDGRUPPE" + digits(4); }},
      {"equal first 24 bytes", [&] { return "KUNDENGRUPPE-A--GEBIET-1" + digits(3); }},
      // Bytes so rare that a sample of the keys misses them, before and after the others.
      {"rare bytes", [&] { return (random() % 50000 == 0 ? "!" : random() % 50000 == 0 ? "~" : "M") + digits(3) + (random() % 50000 == 0 ? "\x01" : random() % 50000 == 0 ? "~" : "K") + digits(2); }},
  };
  for (const auto& c : cases) {
    std::vector<std::string> keys(140000);
    for (std::string& key : keys) key = c.key();
    ExpectOrderAndGroups(keys, c.what);
  }
}

// The items of a verification profile of `record`, normalised: PLZ, Ort,
// Straße, an empty Suchbegriff, Bez1, Bez2 and nothing after.
std::string ProfileItems(const std::string& record) {
  std::vector<std::string> items = korvix::testing::SplitField(NormalizeRecord(record), '|');
  if (items.size() > 3) items[3].clear();
  items.resize(std::min<std::size_t>(items.size(), 6));
  std::string joined = items[0];
  for (std::size_t i = 1; i < items.size(); ++i) joined += "|" + items[i];
  return joined;
}

// Blocks given back are split and joined for the next: no byte may serve
// two arrays at once.
TEST(BigAllocator, KeptBlocksServeOneArrayAtATime) {
  constexpr std::size_t kMb = std::size_t{1} << 20;
  std::vector<std::pair<char*, std::size_t>> live;
  const auto take = [&](std::size_t mb) {
    live.emplace_back(static_cast<char*>(MapBig(mb * kMb)), mb * kMb);
    std::memset(live.back().first, static_cast<int>(live.size()), mb * kMb);
  };
  const auto give_back = [&](std::size_t i) {
    UnmapBig(live[i].first, live[i].second);
    live[i].second = 0;
  };
  for (const std::size_t mb : {2, 4, 6, 2, 8}) take(mb);
  give_back(1);
  give_back(2);
  give_back(4);
  for (const std::size_t mb : {2, 8, 2, 6, 2}) take(mb);
  for (std::size_t i = 0; i < live.size(); ++i) {
    if (live[i].second == 0) continue;
    const char* p = live[i].first;
    EXPECT_TRUE(std::all_of(p, p + live[i].second, [&](char c) { return c == static_cast<char>(i + 1); })) << i;
    UnmapBig(live[i].first, live[i].second);
  }
  ReleaseCachedBlocks();
}

// Parked keys, places and orders (in the spill file, each array at its own
// place of it) read as before, sort alike and survive leaving memory; where
// there is no file to be had they stay in memory, unchanged.
TEST(KeyTable, ParkedKeysReadAndSortAsBefore) {
  std::mt19937 random(5);
  // Enough records for their ends and places to be parked too.
  std::vector<std::vector<std::string>> columns(2, std::vector<std::string>(540000));
  for (auto& column : columns) {
    for (std::string& key : column) key = std::to_string(10000 + random() % 90000) + "HAUPTSTR" + std::to_string(random() % 100);
  }
  const auto table_of = [&] {
    KeyTable table(2);
    for (std::size_t i = 0; i < columns[0].size(); ++i) {
      const std::string keys[] = {columns[0][i], columns[1][i]};
      table.Add(keys, {i + 1, 10 * i, 3});
    }
    return table;
  };
  const auto expect_keys = [&](const KeyTable& table) {
    for (std::size_t a = 0; a < 2; ++a) {
      for (std::size_t i = 0; i < columns[a].size(); ++i) ASSERT_EQ(table.key(a, i), columns[a][i]) << a << " " << i;
    }
    for (std::size_t i = 0; i < table.size(); ++i) {
      const RecordPlace place = table.place(i);
      ASSERT_EQ(std::make_tuple(place.line, place.offset, place.length), std::make_tuple(i + 1, 10 * i, 3u)) << i;
    }
  };
  const korvix::testing::TempDir dir;
  struct statfs fs {};
  ASSERT_EQ(::statfs(dir.path().c_str(), &fs), 0);
  const bool on_disk = fs.f_type != TMPFS_MAGIC && fs.f_type != RAMFS_MAGIC;  // else not worth parking
  struct {
    const char* what;
    std::string folder;
    bool parked;
  } cases[] = {{"a folder to write in", dir.path(), on_disk}, {"no such folder", dir.Path("missing/x"), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder temp(c.folder);
    const SpillScope scope(std::uint64_t{1} << 30, temp);
    KeyTable table = table_of();
    const std::size_t before = table.memory();
    table.Park();
    EXPECT_EQ(table.memory() < before / 2, c.parked) << table.memory() << " of " << before;
    expect_keys(table);
    const std::vector<KeyOrder> orders = OrderByKeys(table, 2);
    const auto expect_orders = [&] {
      for (std::size_t a = 0; a < 2; ++a) {
        EXPECT_EQ(orders[a].sorted.capacity() == 0, c.parked);  // held in memory unless parked
        EXPECT_EQ(std::vector<std::uint32_t>(orders[a].sorted.begin(), orders[a].sorted.end()),
                  ReferenceOrder(columns[a]));
      }
    };
    expect_orders();
    table.Cool();
    for (const KeyOrder& order : orders) order.sorted.Cool();
    expect_keys(table);
    expect_orders();
  }
}

TEST(Keying, EveryRecordUnderEveryAlgorithmInInputOrder) {
  // Some 3 MB of records in batches on every thread, normalised or not,
  // kept normalised for verification or not.
  std::string input;
  std::vector<std::string> records;
  std::mt19937 random(5);
  for (int i = 0; i < 30000; ++i) {
    records.push_back(std::to_string(1000 + random() % 90000) + "|Köln|Hauptstr. " +
                      std::to_string(i % 7) + "|S|Dr. M\xFCller GmbH|" + std::string(random() % 40, 'x') +
                      (i % 4 == 0 ? "|z. Hd. Frau Ölz||B" : ""));
    input += records.back() + (i % 3 == 0 ? "\r\n" : "\n");
  }
  // Slots that the algorithms share, umlauts in the parts of a joint key,
  // and a slot that reads the one before it, which no joint key can hold.
  const std::vector<std::vector<KeyBuilder>> sets = {
      {KeyBuilder("0105000000000000" "0306000000000000" "0503010000000000"),
       KeyBuilder("02060000000000005104010000000000"), KeyBuilder("0503010000000000" "0306100000000000")},
      {KeyBuilder("0105000000000000"), KeyBuilder("0204000000000000" "6002100000000000")}};
  for (const std::vector<KeyBuilder>& builders : sets) {
    for (const bool normalize : {false, true}) {
      for (const unsigned threads : {1u, 3u}) {
        for (const bool keep : {false, true}) {
          const testing::TempFile file(input);
          LineSource source(file.fd(), "t", 4096);
          KeptRecords kept;
          const KeyTable table =
              KeyRecords(source, builders, normalize, threads, nullptr, input.size(), keep ? &kept : nullptr);
          ASSERT_EQ(table.size(), records.size());
          ASSERT_EQ(kept.texts.size(), keep ? records.size() : 0);
          for (std::size_t i = 0; i < records.size(); ++i) {
            const std::string record = normalize ? NormalizeRecord(records[i]) : records[i];
            for (std::size_t a = 0; a < builders.size(); ++a) {
              ASSERT_EQ(table.key(a, i), builders[a].Key(record)) << i << ", algorithm " << a;
            }
            ASSERT_EQ(table.place(i).line, i + 1);
            if (keep) {
              // Bez1 loses a title and a legal form: marks 1 and 2.
              ASSERT_EQ(kept.texts.key(i), ProfileItems(records[i]) + "|3") << i;
            }
          }
        }
      }
    }
  }
}

TEST(Keying, KeyLinesWritesOneKeyPerLineInOrderAcrossBlocks) {
  // Blocks of a byte, of a few bytes and larger than the input, so lines
  // split across blocks and lines longer than a block; more threads than
  // blocks in flight; empty lines, CRLF, a lone CR, no LF at the end.
  std::string input;
  for (int i = 0; i < 3000; ++i) {
    input += std::to_string(10000 + i * 7) + "|K\xF6ln|Hauptstr. " + std::to_string(i % 9) + "||M" +
             std::string(i % 50, 'e') + "r" + (i % 5 == 0 ? "\r\n" : i % 7 == 0 ? "\n\n" : "\n");
  }
  input += "\r\n\r|last";
  const KeyBuilder builder("0105000000000000" "0306000000000000" "0504110000000000");
  std::string expected;
  for (std::size_t begin = 0; begin <= input.size();) {
    std::size_t end = std::min(input.find('\n', begin), input.size());
    const std::size_t stop = end > begin && input[end - 1] == '\r' ? end - 1 : end;
    expected += builder.Key(std::string_view(input).substr(begin, stop - begin)) + "\n";
    begin = end + 1;
  }
  for (const std::size_t block : {std::size_t{1}, std::size_t{13}, std::size_t{1} << 20}) {
    for (const unsigned threads : {1u, 5u}) {
      const testing::TempFile in(input), out("");
      LineSource source(in.fd(), "in", block);
      KeyLines(builder, source, {out.fd(), "out"}, threads);
      struct stat st {};
      ASSERT_EQ(::fstat(out.fd(), &st), 0);
      std::string written(static_cast<std::size_t>(st.st_size), '\0');
      ASSERT_EQ(::pread(out.fd(), written.data(), written.size(), 0), st.st_size);
      ASSERT_TRUE(written == expected) << "block " << block << ", " << threads << " threads";
    }
  }
  const testing::TempFile in(input);
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  LineSource source(in.fd(), "in", 64);
  EXPECT_THAT([&] { KeyLines(builder, source, {full, "the disk"}, 2); },
              ::testing::ThrowsMessage<Error>(::testing::StrEq("cannot write the disk: No space left on device")));
  ::close(full);
}

}  // namespace
}  // namespace korvix::dedupe
