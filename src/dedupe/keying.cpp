#include "dedupe/keying.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "dedupe/error.h"
#include "dedupe/normalize.h"

namespace korvix::dedupe {

namespace {

// The items that the builders read, as Normalizer takes them: what a key
// never reads need not be normalised.
std::uint64_t ItemsKeyed(std::span<const KeyBuilder> builders) {
  std::uint64_t items = 0;
  for (const KeyBuilder& b : builders) {
    for (const AlgorithmSlot& slot : b.slots()) {
      if (slot.field >= kFieldBez12 && slot.field <= kFieldBez1234) {
        items |= std::uint64_t{0xF} << kFieldBez1;  // Bez1 to Bez4
      } else if (slot.field > 0 && slot.field < 64) {
        items |= std::uint64_t{1} << slot.field;
      } else {
        return ~std::uint64_t{0};  // a field number above 53 keeps what the slot before read
      }
    }
  }
  return items;
}

// Keys the records of one batch into `keys`, a table of its own.
void KeyBatch(const RecordSource& source, std::span<const KeyBuilder> builders, bool normalize,
              RecordBatch* batch, KeyTable* keys) {
  source.Split(batch);
  std::vector<std::string> key(builders.size());
  std::string normal;
  Normalizer normalizer(ItemsKeyed(builders));
  keys->Clear();
  for (std::size_t i = 0; i < batch->records.size(); ++i) {
    std::string_view record = batch->record(i);
    if (normalize) {
      normalizer.Record(record, &normal);
      record = normal;
    }
    for (std::size_t a = 0; a < builders.size(); ++a) builders[a].Key(record, &key[a]);
    keys->Add(key, batch->records[i].place);
  }
}

}  // namespace

KeyTable KeyRecords(RecordSource& source, std::span<const KeyBuilder> builders, bool normalize,
                    unsigned threads, Progress* progress, std::optional<std::uint64_t> input_size) {
  if (threads == 0) threads = base::UsableProcessors();
  // Batches per round: enough that every thread has several, so one slow
  // batch does not leave the others idle for long.
  const std::size_t round = 4 * std::size_t{threads};
  std::vector<std::unique_ptr<RecordBatch>> batches;
  std::vector<KeyTable> keyed;
  for (std::size_t b = 0; b < round; ++b) {
    batches.push_back(std::make_unique<RecordBatch>());
    keyed.emplace_back(builders.size());
  }
  KeyTable table(builders.size());
  bool reserved = false;
  for (bool more = true; more;) {
    std::size_t filled = 0;
    while (filled < round && (more = source.Read(batches[filled].get()))) ++filled;
    // Batches, not records, are spread: each thread takes whole batches.
    base::ParallelFor(filled, threads, 1, [&](std::size_t begin, std::size_t end) {
      for (std::size_t b = begin; b < end; ++b) {
        KeyBatch(source, builders, normalize, batches[b].get(), &keyed[b]);
      }
    });
    for (std::size_t b = 0; b < filled; ++b) {
      if (table.size() + keyed[b].size() > KeyTable::kMaxRecords) {
        throw IoError("the input holds more than " + std::to_string(KeyTable::kMaxRecords) +
                      " records");
      }
      table.Append(keyed[b]);
    }
    if (!reserved && input_size && table.size() > 0) {
      // Sized once from the first round, so that the table's arrays do not
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
  }
  return table;
}

}  // namespace korvix::dedupe
