#include "dedupe/keying.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>
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
  // batch does not leave the others idle for long. Two rounds take turns:
  // one is keyed while the calling thread reads the next into the other.
  const std::size_t round = 2 * std::size_t{threads};
  struct Round {
    std::vector<std::unique_ptr<RecordBatch>> batches;
    std::vector<KeyTable> keyed;
    std::size_t filled = 0;
  };
  Round rounds[2];
  for (Round& r : rounds) {
    for (std::size_t b = 0; b < round; ++b) {
      r.batches.push_back(std::make_unique<RecordBatch>());
      r.keyed.emplace_back(builders.size());
    }
  }
  const auto read = [&](Round& r) {
    r.filled = 0;
    while (r.filled < round && source.Read(r.batches[r.filled].get())) ++r.filled;
  };
  const auto key = [&](Round& r) {
    // Batches, not records, are spread: each thread takes whole batches.
    base::ParallelFor(r.filled, threads, 1, [&](std::size_t begin, std::size_t end) {
      for (std::size_t b = begin; b < end; ++b) {
        KeyBatch(source, builders, normalize, r.batches[b].get(), &r.keyed[b]);
      }
    });
  };
  KeyTable table(builders.size());
  bool reserved = false;
  // Moves the keys of a keyed round into the table.
  const auto take = [&](Round& r) {
    for (std::size_t b = 0; b < r.filled; ++b) {
      if (table.size() + r.keyed[b].size() > KeyTable::kMaxRecords) {
        throw IoError("the input holds more than " + std::to_string(KeyTable::kMaxRecords) +
                      " records");
      }
      table.Append(r.keyed[b]);
    }
    r.filled = 0;
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
  };
  read(rounds[0]);
  std::size_t current = 0;
  for (; rounds[current].filled > 0; current ^= 1) {
    // While this round is keyed, the other one's keys go into the table and
    // its batches take the next round.
    Round& other = rounds[current ^ 1];
    std::exception_ptr error;
    {
      std::jthread keying([&] { key(rounds[current]); });
      try {
        take(other);
        read(other);
      } catch (...) {
        error = std::current_exception();
      }
    }
    if (error) std::rethrow_exception(error);
  }
  take(rounds[current ^ 1]);
  return table;
}

}  // namespace korvix::dedupe
