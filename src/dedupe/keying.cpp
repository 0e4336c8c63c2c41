#include "dedupe/keying.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "dedupe/error.h"
#include "dedupe/normalize.h"
#include "dedupe/pipeline.h"

namespace korvix::dedupe {

namespace {

// The items that the builders read, as Normalizer takes them: what a key
// never reads need not be normalised.
std::uint64_t ItemsKeyed(std::span<const KeyBuilder> builders) {
  std::uint64_t items = 0;
  for (const KeyBuilder& b : builders) {
    for (const AlgorithmSlot& slot : b.slots()) {
      if (slot.field >= kFieldBez12 && slot.field <= kFieldBez1234) {
        // Bez1+2, Bez1+2+3, Bez1+2+3+4: two, three or four items from Bez1.
        items |= ((std::uint64_t{1} << (slot.field - kFieldBez12 + 2)) - 1) << kFieldBez1;
      } else if (slot.field > 0 && slot.field < 64) {
        items |= std::uint64_t{1} << slot.field;
      } else {
        return ~std::uint64_t{0};  // a field number above 53 keeps what the slot before read
      }
    }
  }
  return items;
}

// A batch of records and their keys, with the buffers that keying it reuses.
struct Block {
  Block(std::size_t algorithms, std::uint64_t items) : keyed(algorithms), key(algorithms), normalizer(items) {}
  RecordBatch batch;
  KeyTable keyed;
  std::vector<std::string> key;
  std::string normal;
  Normalizer normalizer;
};

void KeyBatch(const RecordSource& source, std::span<const KeyBuilder> builders, bool normalize,
              Block* block) {
  RecordBatch& batch = block->batch;
  source.Split(&batch);
  block->keyed.Clear();
  for (std::size_t i = 0; i < batch.records.size(); ++i) {
    std::string_view record = batch.record(i);
    if (normalize) {
      block->normalizer.Record(record, &block->normal);
      record = block->normal;
    }
    for (std::size_t a = 0; a < builders.size(); ++a) builders[a].Key(record, &block->key[a]);
    block->keyed.Add(block->key, batch.records[i].place);
  }
}

}  // namespace

KeyTable KeyRecords(RecordSource& source, std::span<const KeyBuilder> builders, bool normalize,
                    unsigned threads, Progress* progress, std::optional<std::uint64_t> input_size) {
  if (threads == 0) threads = base::UsableProcessors();
  // Enough blocks that every thread has one while the calling thread reads
  // the next and stores the keys of the oldest.
  std::vector<std::unique_ptr<Block>> blocks(2 * std::size_t{threads} + 2);
  const std::uint64_t items = ItemsKeyed(builders);
  for (auto& b : blocks) b = std::make_unique<Block>(builders.size(), items);
  KeyTable table(builders.size());
  bool reserved = false;
  const auto take = [&](std::size_t slot) {
    const KeyTable& keyed = blocks[slot]->keyed;
    if (table.size() + keyed.size() > KeyTable::kMaxRecords) {
      throw IoError("the input holds more than " + std::to_string(KeyTable::kMaxRecords) + " records");
    }
    table.Append(keyed);
    if (!reserved && input_size && table.size() > 0) {
      // Sized once from the first blocks, so that the table's arrays do not
      // double (and briefly hold twice their size) again and again.
      const RecordPlace last = table.place(table.size() - 1);
      const double per_byte = static_cast<double>(table.size()) /
                              static_cast<double>(std::max<std::uint64_t>(1, last.offset + last.length));
      const auto records =
          static_cast<std::size_t>(per_byte * static_cast<double>(*input_size) * 1.05) + 1024;
      table.Reserve(records, records * (table.key(0).size() + 2));
      reserved = true;
    }
    if (progress != nullptr) progress->Update(source.bytes_read(), table.size());
  };
  RunPipeline(
      blocks.size(), threads, [&](std::size_t slot) { return source.Read(&blocks[slot]->batch); },
      [&](std::size_t slot) { KeyBatch(source, builders, normalize, blocks[slot].get()); }, take);
  return table;
}

}  // namespace korvix::dedupe
