// The key table: order by key and the duplicate groups.
#include "key_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace korvix::cli {
namespace {

KeyTable TableOf(const std::vector<std::string>& keys) {
  KeyTable table;
  for (std::size_t i = 0; i < keys.size(); ++i) table.Add(keys[i], {i + 1, 10 * i, 3});
  return table;
}

// What the order must be: a stable sort of the keys as unsigned bytes.
std::vector<std::uint32_t> ReferenceOrder(const std::vector<std::string>& keys) {
  std::vector<std::uint32_t> order(keys.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return std::lexicographical_compare(
        keys[a].begin(), keys[a].end(), keys[b].begin(), keys[b].end(),
        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
  });
  return order;
}

TEST(KeyTable, OrdersByBytesAcrossThePrefixTheSortCompares) {
  using namespace std::string_literals;
  // Keys that differ only past the 16 bytes the sort compares first, keys
  // that are prefixes of others on both sides of that mark, bytes above 0x7F
  // (unsigned, so after ASCII), a NUL byte that the zero fill resembles, and
  // equal keys that must stay in input order.
  const std::vector<std::string> keys = {
      "12345HAUPTSTR-MR",        "12345HAUPTSTR-MR-tail-b", "12345HAUPTSTR-MR-tail-a",
      "12345HAUPTSTR-M",         "12345HAUPTSTR-MR",        "12345HAUPTSTR-MR\0"s,
      "12345HAUPTSTR-M\0"s,      "",                        "ÄRGER",
      "ZZZ",                     "12345HAUPTSTR-MR-tail-a", "12345HAUPTSTR-MR-tail",
      "\x7f",                    "\x80",                    "",
      "12345678",                "1234567",                 "123456789",
  };
  const KeyTable table = TableOf(keys);
  for (unsigned threads : {1u, 2u, 3u}) {
    const KeyOrder order = OrderByKey(table, threads);
    const std::vector<std::uint32_t> expected = ReferenceOrder(keys);
    EXPECT_EQ(std::vector<std::uint32_t>(order.sorted.begin(), order.sorted.end()), expected)
        << threads << " threads";
  }
}

TEST(KeyTable, GroupsLargestFirstThenByKeyWithRecordsInInputOrder) {
  //                                0     1     2     3     4     5     6     7     8
  const std::vector<std::string> keys = {"BB", "AA", "CC", "AA", "BB", "DD", "CC", "CC", "EE"};
  const KeyTable table = TableOf(keys);
  const KeyOrder order = OrderByKey(table);
  struct Expected {
    std::string key;
    std::vector<std::uint32_t> records;
  };
  const std::vector<Expected> expected = {{"CC", {2, 6, 7}}, {"AA", {1, 3}}, {"BB", {0, 4}}};
  ASSERT_EQ(order.groups.size(), expected.size());
  for (std::size_t g = 0; g < expected.size(); ++g) {
    const Group& group = order.groups[g];
    std::vector<std::uint32_t> records(order.sorted.begin() + group.begin,
                                       order.sorted.begin() + group.begin + group.size);
    EXPECT_EQ(table.key(records[0]), expected[g].key);
    EXPECT_EQ(records, expected[g].records) << expected[g].key;
  }
  const std::vector<std::uint32_t> numbers = GroupNumbers(table.size(), order.groups, order.sorted);
  EXPECT_EQ(numbers, (std::vector<std::uint32_t>{3, 2, 1, 2, 3, 0, 1, 1, 0}));
}

TEST(KeyTable, ManyRecordsOnSeveralThreadsMatchAPlainGrouping) {
  // Enough records for the sort to split into two and three pieces and merge
  // them; keys from a small alphabet so that many collide, some past 16 bytes.
  std::mt19937 random(7);
  std::vector<std::string> keys(200000);
  for (std::string& key : keys) {
    key = std::to_string(10000 + random() % 50);
    key += random() % 2 ? "WEG" : "WEGSTR";
    for (int i = static_cast<int>(random() % 12); i > 0; --i) key.push_back("AB\xC3\x84"[random() % 4]);
  }
  const KeyTable table = TableOf(keys);
  const std::vector<std::uint32_t> reference = ReferenceOrder(keys);
  std::map<std::string, std::vector<std::uint32_t>> plain;
  for (std::uint32_t i = 0; i < keys.size(); ++i) plain[keys[i]].push_back(i);
  std::size_t expected_in_groups = 0, expected_groups = 0;
  for (const auto& [key, records] : plain) {
    if (records.size() >= 2) {
      expected_in_groups += records.size();
      ++expected_groups;
    }
  }

  for (unsigned threads : {1u, 2u, 3u}) {
    const KeyOrder order = OrderByKey(table, threads);
    EXPECT_EQ(std::vector<std::uint32_t>(order.sorted.begin(), order.sorted.end()), reference);
    std::size_t in_groups = 0;
    for (std::size_t g = 0; g < order.groups.size(); ++g) {
      const Group& group = order.groups[g];
      const std::string key(table.key(order.sorted[group.begin]));
      const std::vector<std::uint32_t> records(order.sorted.begin() + group.begin,
                                               order.sorted.begin() + group.begin + group.size);
      EXPECT_EQ(records, plain[key]);
      if (g > 0) {
        const Group& before = order.groups[g - 1];
        EXPECT_TRUE(before.size > group.size ||
                    (before.size == group.size && table.key(order.sorted[before.begin]) < key));
      }
      in_groups += group.size;
    }
    EXPECT_EQ(order.groups.size(), expected_groups) << threads << " threads";
    EXPECT_EQ(in_groups, expected_in_groups) << threads << " threads";
  }
}

TEST(KeyTable, KeysThatAgreeInTheirLeadingBytesStillSort) {
  // The sort spreads records by the first bits in which keys differ; these
  // inputs leave it little or nothing to spread by.
  std::mt19937 random(11);
  const auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + random() % 3));
    return s;
  };
  const struct {
    const char* what;
    std::function<std::string()> key;
  } cases[] = {
      {"all equal", [] { return std::string("A--12345"); }},
      {"equal first 8 bytes", [&] { return "KDGRUPPE" + digits(4); }},
      {"equal first 16 bytes", [&] { return "KUNDENGRUPPE-A--" + digits(3); }},
      {"one differs", [&] { return std::string(random() % 100000 == 0 ? "B" : "A"); }},
  };
  for (const auto& c : cases) {
    std::vector<std::string> keys(140000);  // two ranges on two threads
    for (std::string& key : keys) key = c.key();
    const KeyTable table = TableOf(keys);
    const std::vector<std::uint32_t> reference = ReferenceOrder(keys);
    const KeyOrder order = OrderByKey(table, 2);
    EXPECT_EQ(std::vector<std::uint32_t>(order.sorted.begin(), order.sorted.end()), reference)
        << c.what;
    if (std::string(c.what) == "all equal") {
      ASSERT_EQ(order.groups.size(), 1u);
      EXPECT_EQ(order.groups[0].size, keys.size());
    }
  }
}

TEST(KeyTable, AppendKeepsKeysAndPlacesInOrder) {
  KeyTable a = TableOf({"one", "two"});
  KeyTable b;
  b.Add("three", {7, 70, 5});
  b.Add("", {8, 80, 0});
  a.Append(b);
  ASSERT_EQ(a.size(), 4u);
  const std::vector<std::string> keys = {"one", "two", "three", ""};
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(a.key(i), keys[i]);
  EXPECT_EQ(a.place(2).line, 7u);
  EXPECT_EQ(a.place(2).offset, 70u);
  EXPECT_EQ(a.place(3).length, 0u);
}

}  // namespace
}  // namespace korvix::cli
