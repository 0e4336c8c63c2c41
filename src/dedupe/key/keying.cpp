#include "dedupe/key/keying.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "dedupe/core/error.h"
#include "dedupe/core/pipeline.h"
#include "dedupe/compare/profile.h"
#include "dedupe/compare/record_keys.h"

namespace korvix::dedupe {

namespace {

// A batch of records and their keys, with the buffers that keying it reuses.
struct Block {
  Block(std::span<const KeyBuilder> builders, bool normalize, std::uint64_t also)
      : keyed(builders.size()), key(builders.size()), keyer(builders, normalize, also) {}
  RecordBatch batch;
  KeyTable keyed;
  KeyColumn kept;
  std::vector<std::string> key;
  RecordKeyer keyer;
};

void KeyBatch(const RecordSource& source, const KeptRecords* kept, Block* block) {
  RecordBatch& batch = block->batch;
  source.Split(&batch);
  block->keyed.Clear();
  block->kept.Clear();
  for (std::size_t i = 0; i < batch.records.size(); ++i) {
    block->keyer.Keys(batch.record(i), block->key);
    block->keyed.Add(block->key, batch.records[i].place);
    if (kept != nullptr) {
      // The keys are built: the record becomes its profile text in place.
      std::string& normal = block->keyer.normal();
      ProfileTextOf(normal, block->keyer.marks(), &normal);
      block->kept.Add(normal);
    }
  }
}

}  // namespace

KeyTable KeyRecords(RecordSource& source, std::span<const KeyBuilder> builders, bool normalize,
                    unsigned threads, Progress* progress, std::optional<std::uint64_t> input_size,
                    KeptRecords* kept) {
  if (threads == 0) threads = base::UsableProcessors();
  // Enough blocks that every thread has one while the calling thread reads
  // the next and stores the keys of the oldest.
  std::vector<std::unique_ptr<Block>> blocks(2 * std::size_t{threads} + 2);
  if (kept != nullptr) kept->texts.Clear();
  for (auto& b : blocks) b = std::make_unique<Block>(builders, normalize, kept != nullptr ? kProfileItems : 0);
  KeyTable table(builders.size());
  bool reserved = false;
  const auto take = [&](std::size_t slot) {
    const KeyTable& keyed = blocks[slot]->keyed;
    if (table.size() + keyed.size() > KeyTable::kMaxRecords) {
      throw IoError("the input holds more than " + std::to_string(KeyTable::kMaxRecords) + " records");
    }
    table.Append(keyed);
    if (kept != nullptr) kept->texts.Append(blocks[slot]->kept);
    if (!reserved && input_size && table.size() > 0) {
      // Sized once from the first blocks, so that the table's arrays do not
      // double (and briefly hold twice their size) again and again.
      const RecordPlace last = table.place(table.size() - 1);
      const double per_byte = static_cast<double>(table.size()) /
                              static_cast<double>(std::max<std::uint64_t>(1, last.offset + last.length));
      const auto records =
          static_cast<std::size_t>(per_byte * static_cast<double>(*input_size) * 1.05) + 1024;
      table.Reserve(records, records * (table.key(0).size() + 2));
      if (kept != nullptr) kept->texts.Reserve(records, records * (kept->texts.key_bytes() / table.size() + 8));
      reserved = true;
    }
    if (progress != nullptr) progress->Update(source.bytes_read(), table.size());
  };
  RunPipeline(
      blocks.size(), threads, [&](std::size_t slot) { return source.Read(&blocks[slot]->batch); },
      [&](std::size_t slot) { KeyBatch(source, kept, blocks[slot].get()); }, take);
  return table;
}

}  // namespace korvix::dedupe
