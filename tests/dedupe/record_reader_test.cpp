// Reading records back in report order, in passes of a byte budget.
#include "dedupe/read/record_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "dedupe/core/error.h"
#include "test_files.h"

namespace korvix::dedupe {
namespace {

TEST(RecordReader, GivesEveryRecordInTheOrderAskedForWithinAnyBudget) {
  // Records of varied length, with keys of their own lengths (a pass holds
  // both), and gaps of up to 100 KB now and then that need reads of their own.
  std::string bytes;
  KeyTable table;
  std::vector<std::string> records;
  std::mt19937 random(3);
  for (std::uint32_t i = 0; i < 2000; ++i) {
    bytes.append(random() % 50 == 0 ? random() % 100000 : 1, '\n');
    records.push_back("r" + std::to_string(i) + std::string(random() % 300, 'x'));
    const std::string key(i % 40, 'k');
    table.Add({&key, 1}, {i + 1u, bytes.size(), static_cast<std::uint32_t>(records.back().size())});
    bytes += records.back();
  }
  const testing::TempFile file(bytes);
  std::vector<std::uint32_t> shuffled(records.size()), ascending(records.size());
  std::iota(ascending.begin(), ascending.end(), 0u);
  std::iota(shuffled.begin(), shuffled.end(), 0u);
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
  for (const std::vector<std::uint32_t>* order : {&shuffled, &ascending}) {
    // A budget below one record still makes progress, one record a pass.
    for (const std::size_t budget : {std::size_t{1}, std::size_t{5000}, std::size_t{1} << 30}) {
      for (const std::size_t window : {std::size_t{1}, RecordReader::kDefaultWindow}) {
        RecordReader reader(table, file.fd(), "t", window);
        std::size_t next = 0;
        reader.ForEachInOrder(*order, budget, [&](const RecordReader::Visited& v) {
          ASSERT_EQ(v.position, next++);
          ASSERT_EQ(v.record, (*order)[v.position]);
          ASSERT_EQ(v.bytes, records[v.record]) << "budget " << budget << ", window " << window;
          ASSERT_EQ(v.key, table.key(v.record));
          ASSERT_EQ(v.line, v.record + 1u);
        });
        EXPECT_EQ(next, order->size());
      }
    }
  }
  // An input that became shorter since it was keyed is an error.
  const testing::TempFile shorter(bytes.substr(0, bytes.size() / 2));
  RecordReader reader(table, shorter.fd(), "t.txt");
  EXPECT_THROW(reader.ForEach(ascending, [](const RecordReader::Visited&) {}), Error);
}

}  // namespace
}  // namespace korvix::dedupe
