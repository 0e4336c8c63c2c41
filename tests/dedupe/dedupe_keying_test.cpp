// Keying a whole input on several threads.
#include "dedupe/keying.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli.h"
#include "dedupe/line_source.h"
#include "dedupe_test_files.h"
#include "korvix/key_builder.h"

namespace korvix::cli {
namespace {

const char kCode[] = "010500000000000003050000000000000504110000000000";

// A source whose reading fails after some batches, as a --strict run does.
class FailingSource final : public RecordSource {
 public:
  explicit FailingSource(int batches) : left_(batches) {}
  bool Read(RecordBatch* batch) override {
    if (left_-- == 0) throw IoError("bad record");
    batch->Clear();
    batch->split = true;
    batch->text = "12345|Ort|Weg 1|S|Meier";
    batch->records.push_back({0, batch->text.size(), {1, 0, 1}});
    return true;
  }
  void Split(RecordBatch*) const override {}
  std::uint64_t bytes_read() const override { return 0; }
  std::uint64_t skipped() const override { return 0; }
  std::string_view RecordString(std::string_view bytes, std::string*) const override { return bytes; }

 private:
  int left_;
};

TEST(Keying, KeysEveryRecordInInputOrderOnAnyNumberOfThreads) {
  std::string input;
  std::vector<std::string> records;
  for (int i = 0; i < 20000; ++i) {
    const std::string record = std::to_string(10000 + i % 300) + "|Ort|" +
                               (i % 3 ? "Hauptstraße " : "Am Markt ") + std::to_string(i % 7) +
                               "|S|" + (i % 2 ? "Meier" : "M\xFCller");
    records.push_back(record);
    input += record + (i % 5 ? "\n" : "\r\n\n");  // empty lines between some
  }
  const KeyBuilder builder(kCode);
  for (unsigned threads : {1u, 2u, 7u}) {
    const testing::TempFile file(input);
    LineSource source(file.fd(), "t", 4096);  // many small batches
    const KeyTable table = KeyRecords(source, builder, threads, nullptr, input.size());
    ASSERT_EQ(table.size(), records.size()) << threads;
    for (std::size_t i = 0; i < records.size(); ++i) {
      ASSERT_EQ(table.key(i), builder.Key(records[i])) << "record " << i << ", " << threads << " threads";
      const RecordPlace p = table.place(i);
      ASSERT_EQ(input.substr(p.offset, p.length), records[i]);
    }
  }
}

TEST(Keying, AnErrorWhileReadingEndsTheRunWithThatError) {
  const KeyBuilder builder(kCode);
  FailingSource source(5);
  EXPECT_THROW(KeyRecords(source, builder, 2, nullptr), IoError);
}

}  // namespace
}  // namespace korvix::cli
