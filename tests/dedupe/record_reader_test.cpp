// Reading records back in report order, in passes of a byte budget.
#include "dedupe/record_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "dedupe/error.h"
#include "test_files.h"

namespace korvix::dedupe {
namespace {

// Records of varied length, some far apart, with their places.
struct Input {
  std::string bytes;
  KeyTable table;
  std::vector<std::string> records;
};

Input MakeInput(std::size_t count) {
  Input in;
  std::mt19937 random(3);
  for (std::size_t i = 0; i < count; ++i) {
    // Gaps of up to 100 KB now and then, so some records need reads of their own.
    in.bytes.append(random() % 50 == 0 ? random() % 100000 : 1, '\n');
    const std::string record = "r" + std::to_string(i) + std::string(random() % 300, 'x');
    // Keys of their own lengths, since a pass holds them beside the records.
    in.table.Add(std::string(i % 40, 'k'), {i + 1, in.bytes.size(), static_cast<std::uint32_t>(record.size())});
    in.records.push_back(record);
    in.bytes += record;
  }
  return in;
}

TEST(RecordReader, GivesEveryRecordInTheOrderAskedForWithinAnyBudget) {
  const Input in = MakeInput(2000);
  const testing::TempFile file(in.bytes);
  std::vector<std::uint32_t> shuffled(in.records.size());
  std::iota(shuffled.begin(), shuffled.end(), 0u);
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
  const std::vector<std::uint32_t> some = {1999, 0, 1000, 3, 2};
  std::vector<std::uint32_t> ascending(in.records.size());
  std::iota(ascending.begin(), ascending.end(), 0u);

  for (const std::vector<std::uint32_t>* order :
       std::initializer_list<const std::vector<std::uint32_t>*>{&shuffled, &some, &ascending}) {
    // A budget below one record still makes progress, one record a pass.
    for (std::size_t budget : {std::size_t{1}, std::size_t{5000}, std::size_t{1} << 30}) {
      for (std::size_t window : {std::size_t{1}, std::size_t{4096}, RecordReader::kDefaultWindow}) {
        RecordReader reader(in.table, file.fd(), "t", window);
        std::size_t next = 0;
        reader.ForEachInOrder(*order, budget, [&](const RecordReader::Visited& v) {
          ASSERT_EQ(v.position, next++);
          ASSERT_EQ(v.record, (*order)[v.position]);
          ASSERT_EQ(v.bytes, in.records[v.record]) << "budget " << budget << ", window " << window;
          ASSERT_EQ(v.key, in.table.key(v.record));
          ASSERT_EQ(v.line, v.record + 1u);
        });
        EXPECT_EQ(next, order->size());
      }
    }
  }
}

TEST(RecordReader, ReadsNeighboursTogether) {
  const Input in = MakeInput(2000);
  const testing::TempFile file(in.bytes);
  std::vector<std::uint32_t> all(in.records.size());
  std::iota(all.begin(), all.end(), 0u);
  RecordReader one_each(in.table, file.fd(), "t", 1);
  one_each.ForEach(all, [](const RecordReader::Visited&) {});
  EXPECT_EQ(one_each.reads(), all.size());
  RecordReader batched(in.table, file.fd(), "t");
  batched.ForEach(all, [](const RecordReader::Visited&) {});
  // Only the long gaps (about one record in 50) and the window split reads.
  EXPECT_LT(batched.reads(), all.size() / 10);
}

TEST(RecordReader, AShorterInputIsAnError) {
  KeyTable table;
  table.Add("", {1, 5, 10});
  const testing::TempFile file("0123456789");
  RecordReader reader(table, file.fd(), "t.txt");
  const std::vector<std::uint32_t> records = {0};
  try {
    reader.ForEach(records, [](const RecordReader::Visited&) {});
    FAIL() << "no error";
  } catch (const DedupeError& e) {
    EXPECT_STREQ(e.what(), "cannot read t.txt again: it became shorter during the run");
  }
}

}  // namespace
}  // namespace korvix::dedupe
