// Record strings read line by line into batches.
#include "dedupe/line_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "dedupe_test_files.h"

namespace korvix::cli {
namespace {

struct Found {
  std::string record;
  std::uint64_t line, offset, length;
  bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Found& f) {
  return os << "{\"" << f.record << "\", line " << f.line << ", offset " << f.offset << ", length "
            << f.length << "}";
}

// Every record of `input`, read with blocks of `block` bytes.
std::vector<Found> ReadAll(const std::string& input, std::size_t block, std::size_t* batches) {
  const testing::TempFile file(input);
  LineSource source(file.fd(), "test", block);
  std::vector<Found> found;
  RecordBatch batch;
  *batches = 0;
  while (source.Read(&batch)) {
    ++*batches;
    source.Split(&batch);
    for (std::size_t i = 0; i < batch.records.size(); ++i) {
      const RecordPlace& p = batch.records[i].place;
      found.push_back({std::string(batch.record(i)), p.line, p.offset, p.length});
      // The place finds the same bytes in the input again.
      EXPECT_EQ(input.substr(p.offset, p.length), batch.record(i));
    }
  }
  EXPECT_EQ(source.bytes_read(), input.size());
  EXPECT_EQ(source.skipped(), 0u);
  return found;
}

TEST(LineSource, FindsEveryRecordWithItsLineAndPlaceForAnyBlockSize) {
  const struct {
    const char* what;
    std::string input;
    std::vector<Found> expected;
  } cases[] = {
      {"empty input", "", {}},
      {"LF", "a|b\nc|d\n", {{"a|b", 1, 0, 3}, {"c|d", 2, 4, 3}}},
      {"CRLF and no final line end",
       "a|b\r\nc|d",
       {{"a|b", 1, 0, 3}, {"c|d", 2, 5, 3}}},
      {"empty lines hold no record but count",
       "\n\r\na\n\n\nb\n",
       {{"a", 3, 3, 1}, {"b", 6, 7, 1}}},
      {"byte order mark before the first record",
       "\xEF\xBB\xBF" "12345|Ort\n67890|Ort\n",
       {{"12345|Ort", 1, 3, 9}, {"67890|Ort", 2, 13, 9}}},
      {"a mark later is data", "x\n\xEF\xBB\xBFy\n", {{"x", 1, 0, 1}, {"\xEF\xBB\xBFy", 2, 2, 4}}},
      {"a CR inside a line stays", "a\rb\n", {{"a\rb", 1, 0, 3}}},
      {"Windows-1252 bytes pass as they are", "M\xFCller|K\xF6ln\n", {{"M\xFCller|K\xF6ln", 1, 0, 11}}},
  };
  for (const auto& c : cases) {
    for (std::size_t block : {1, 2, 3, 5, 64, 1 << 20}) {
      std::size_t batches = 0;
      EXPECT_EQ(ReadAll(c.input, block, &batches), c.expected) << c.what << ", block " << block;
    }
  }
}

TEST(LineSource, CutsLargeInputsIntoBatchesOfWholeLines) {
  std::string input;
  std::vector<Found> expected;
  for (int i = 1; i <= 5000; ++i) {
    const std::string record = std::to_string(10000 + i) + "|Ort " + std::string(i % 97, 'x');
    expected.push_back({record, static_cast<std::uint64_t>(i), input.size(), record.size()});
    input += record + "\n";
  }
  // A line far longer than a block must still come whole.
  const std::string long_record(10000, 'L');
  expected.push_back({long_record, 5001, input.size(), long_record.size()});
  input += long_record;
  std::size_t batches = 0;
  EXPECT_EQ(ReadAll(input, 4096, &batches), expected);
  EXPECT_GT(batches, input.size() / 4096 / 2);
}

}  // namespace
}  // namespace korvix::cli
