#include "dedupe/key/keying.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "base/text.h"
#include "dedupe/core/error.h"
#include "dedupe/compare/normalize.h"
#include "dedupe/core/pipeline.h"
#include "dedupe/compare/profile.h"

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

// The keys of a record under several algorithms, each slot that several
// of them share built once: one builder over the distinct slots keys the
// record in one pass, and each algorithm's key is put together from the
// parts of its slots. The recommendation reads the street three times and
// the PLZ twice. Where a part cannot be told apart in the joint key (a
// negative length, more than ten distinct slots) or depends on the slot
// before it (a field number above 53), each builder keys on its own.
class JointKeys {
 public:
  explicit JointKeys(std::span<const KeyBuilder> builders) : builders_(builders) {
    std::vector<AlgorithmSlot> distinct;
    for (const KeyBuilder& b : builders) {
      std::vector<std::size_t>& parts = parts_.emplace_back();
      for (const AlgorithmSlot& slot : b.slots()) {
        if (slot.field < 1 || slot.field > kFieldBez1234 || slot.length < 0 || slot.length > 99) return;
        const AlgorithmSlot plain{slot.field, slot.length, slot.FromRight() ? 1 : 0, slot.Phonetic() ? 1 : 0};
        const auto at = std::find(distinct.begin(), distinct.end(), plain);
        parts.push_back(static_cast<std::size_t>(at - distinct.begin()));
        if (at == distinct.end()) distinct.push_back(plain);
      }
    }
    if (builders.size() < 2 || distinct.size() > kMaxSlots) return;
    joint_.emplace(WriteAlgorithmCode(distinct));
    for (const AlgorithmSlot& slot : distinct) lengths_.push_back(static_cast<std::size_t>(slot.length));
  }

  // Sets keys[a] to the key of `record` under builders[a]; `joint` and
  // `ends` are the caller's buffers.
  void Keys(std::string_view record, std::span<std::string> keys, std::string* joint,
            std::vector<std::size_t>* ends) const {
    if (!joint_) {
      for (std::size_t a = 0; a < builders_.size(); ++a) builders_[a].Key(record, &keys[a]);
      return;
    }
    joint_->Key(record, joint);
    // Every part is as many characters long as its slot says.
    ends->clear();
    const bool ascii = text::IsAscii(*joint);
    std::size_t end = 0;
    for (const std::size_t length : lengths_) {
      if (ascii) {
        end += length;
      } else {
        for (std::size_t chars = 0; chars < length; ++chars) {
          do ++end;
          while (end < joint->size() && (static_cast<unsigned char>((*joint)[end]) & 0xC0) == 0x80);
        }
      }
      ends->push_back(end);
    }
    for (std::size_t a = 0; a < builders_.size(); ++a) {
      keys[a].clear();
      for (const std::size_t part : parts_[a]) {
        const std::size_t begin = part == 0 ? 0 : (*ends)[part - 1];
        keys[a].append(*joint, begin, (*ends)[part] - begin);
      }
    }
  }

 private:
  std::span<const KeyBuilder> builders_;
  std::optional<KeyBuilder> joint_;
  std::vector<std::vector<std::size_t>> parts_;  // per algorithm, its slots in the joint key
  std::vector<std::size_t> lengths_;              // characters of each joint slot
};

// A batch of records and their keys, with the keyer that keys it.
struct Block {
  Block(std::span<const KeyBuilder> builders, bool normalize, bool profile)
      : keyed(builders.size()), keyer(builders, normalize, profile) {}
  RecordBatch batch;
  KeyTable keyed;
  KeyColumn kept;
  RecordKeyer keyer;
};

void KeyBatch(const RecordSource& source, const KeptRecords* kept, Block* block) {
  RecordBatch& batch = block->batch;
  source.Split(&batch);
  block->keyed.Clear();
  block->kept.Clear();
  for (std::size_t i = 0; i < batch.records.size(); ++i) {
    block->keyer.Key(batch.record(i));
    block->keyed.Add(block->keyer.keys(), batch.records[i].place);
    if (kept != nullptr) block->kept.Add(block->keyer.profile_text());
  }
}

}  // namespace

struct RecordKeyer::Parts {
  Parts(std::span<const KeyBuilder> builders, std::uint64_t items) : joint(builders), normalizer(items) {}
  JointKeys joint;
  Normalizer normalizer;
};

RecordKeyer::RecordKeyer(std::span<const KeyBuilder> builders, bool normalize, bool profile)
    : parts_(std::make_unique<Parts>(builders, (normalize ? ItemsKeyed(builders) : 0) |
                                                   (profile ? kProfileItems : 0))),
      normalize_(normalize),
      profile_(profile),
      keys_(builders.size()) {}
RecordKeyer::~RecordKeyer() = default;
RecordKeyer::RecordKeyer(RecordKeyer&&) noexcept = default;

void RecordKeyer::Key(std::string_view record) {
  if (normalize_ || profile_) parts_->normalizer.Record(record, &normal_);
  // Items normalised only for the profile are read by no key.
  parts_->joint.Keys(normalize_ ? std::string_view(normal_) : record, keys_, &joint_, &ends_);
  // The keys are built: the record becomes its profile text in place.
  if (profile_) ProfileTextOf(normal_, parts_->normalizer.marks(), &normal_);
}

KeyTable KeyRecords(RecordSource& source, std::span<const KeyBuilder> builders, bool normalize,
                    unsigned threads, Progress* progress, std::optional<std::uint64_t> input_size,
                    KeptRecords* kept) {
  if (threads == 0) threads = base::UsableProcessors();
  // Enough blocks that every thread has one while the calling thread reads
  // the next and stores the keys of the oldest.
  std::vector<std::unique_ptr<Block>> blocks(2 * std::size_t{threads} + 2);
  if (kept != nullptr) kept->texts.Clear();
  for (auto& b : blocks) b = std::make_unique<Block>(builders, normalize, kept != nullptr);
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
