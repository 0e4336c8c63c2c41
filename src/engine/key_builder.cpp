#include "korvix/key_builder.h"

#include <algorithm>

#include "base/parallel.h"
#include "base/text.h"
#include "engine/phonetic_code.h"
#include "engine/record.h"
#include "engine/slots.h"
#include "engine/street.h"

namespace korvix {
namespace {

using engine::RecordItems;
using text::Text;
using text::TextView;

// Per-thread buffers, so that keying a record allocates only the key.
struct Scratch {
  Text decoded;   // the record, when it is not pure ASCII
  Text part;      // a compound value, or the previous slot's part
  Text street;    // a normalised street
  Text previous;  // the finished part of the slot before
  std::string code;  // a phonetic code
};

Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

// The record items a slot reads: its own item, or Bez1 onwards for a compound.
int ItemsRead(int field) {
  if (field <= 1) return 1;  // an index of 1 or less reads item 1
  if (field <= engine::kMaxItem) return field;
  if (field == kFieldBez12) return kFieldBez2;
  if (field == kFieldBez123) return kFieldBez3;
  if (field == kFieldBez1234) return kFieldBez4;
  return 0;  // above 53: no item
}

template <class CharT>
void AppendChars(std::basic_string_view<CharT> chars, std::string* out) {
  if constexpr (std::is_same_v<CharT, char>) {
    out->append(chars);
  } else {
    text::AppendUtf8(chars, out);
  }
}

template <class CharT>
void AppendToText(std::basic_string_view<CharT> chars, Text* out) {
  for (CharT c : chars) out->push_back(static_cast<std::make_unsigned_t<CharT>>(c));
}

class SlotWriter {
 public:
  SlotWriter(Scratch& s, std::string* key) : s_(s), key_(key) {}

  // Steps from the trim before the phonetic code to the key part's place in
  // the key; remembers the finished part when the next slot needs it.
  template <class CharT>
  void Finish(std::basic_string_view<CharT> value, const AlgorithmSlot& slot, bool keep) {
    value = text::TrimBlanks(value);
    if (slot.Phonetic()) {
      s_.code.clear();
      engine::AppendPhoneticCode(value, &s_.code);
      Cut(std::string_view(s_.code), slot, keep);
    } else {
      Cut(value, slot, keep);
    }
  }

 private:
  // Cuts or fills to the slot's length; a negative length skips the step.
  template <class CharT>
  void Cut(std::basic_string_view<CharT> value, const AlgorithmSlot& slot, bool keep) {
    const std::size_t start = key_->size();
    if (slot.length < 0) {
      AppendChars(value, key_);
    } else {
      const std::size_t len = static_cast<std::size_t>(slot.length);
      const std::size_t fill = len > value.size() ? len - value.size() : 0;
      if (slot.FromRight()) {
        key_->append(fill, '-');
        AppendChars(value.substr(value.size() - (len - fill)), key_);
      } else {
        AppendChars(value.substr(0, len - fill), key_);
        key_->append(fill, '-');
      }
    }
    if (keep) s_.previous = text::Decode(std::string_view(*key_).substr(start));
  }

  Scratch& s_;
  std::string* key_;
};

}  // namespace

KeyBuilder::KeyBuilder(std::string_view algorithm)
    : slots_(engine::ReadSlots(text::Decode(algorithm))) {
  for (const AlgorithmSlot& slot : slots_) {
    items_needed_ = std::max(items_needed_, ItemsRead(slot.field));
    if (key_length_ >= 0) key_length_ = slot.length < 0 ? -1 : key_length_ + slot.length;
  }
}

namespace {

// Calls `fn` with the characters of `bytes`: the bytes themselves when they
// are ASCII (the common case, nothing to decode), else their decoded form.
template <class Fn>
void WithChars(std::string_view bytes, Text* scratch, Fn&& fn) {
  if (text::IsAscii(bytes)) {
    fn(bytes);
  } else {
    text::Decode(bytes, scratch);
    fn(TextView(*scratch));
  }
}

// Each item is decoded only when a slot reads it, and only when it is not
// ASCII. That is the same as decoding the whole record first: "|" never sits
// inside a character, and normalisation never joins characters across it.
void AppendKey(const std::vector<AlgorithmSlot>& slots, const RecordItems& items, Scratch& s,
               std::string* key) {
  s.previous.clear();  // a first slot above 53 starts from nothing
  SlotWriter writer(s, key);
  for (std::size_t n = 0; n < slots.size(); ++n) {
    const AlgorithmSlot& slot = slots[n];
    // A slot above 53 starts from the finished part of the slot before it.
    const bool keep = n + 1 < slots.size() && slots[n + 1].field > kFieldBez1234;
    if (slot.field < kFieldBez12) {
      // Blanks are ASCII, so trimming before decoding trims the same characters.
      WithChars(text::TrimBlanks(items.Item(slot.field)), &s.decoded, [&](auto value) {
        if (slot.field == kFieldStrasse) {
          s.street.clear();
          engine::AppendNormalizedStreet(value, &s.street);
          writer.Finish(TextView(s.street), slot, keep);
        } else {
          writer.Finish(value, slot, keep);
        }
      });
      continue;
    }
    if (slot.field <= kFieldBez1234) {
      s.part.clear();
      for (int item = kFieldBez1; item <= ItemsRead(slot.field); ++item) {
        if (item > kFieldBez1) s.part.push_back(text::kBlank);
        WithChars(items.Item(item), &s.decoded, [&](auto value) { AppendToText(value, &s.part); });
      }
    } else {
      s.part = s.previous;
    }
    writer.Finish(TextView(s.part), slot, keep);
  }
}

}  // namespace

void KeyBuilder::Key(std::string_view record, std::string* key) const {
  key->clear();
  if (slots_.empty()) return;
  AppendKey(slots_, RecordItems(record, items_needed_), ThreadScratch(), key);
}

std::string KeyBuilder::Key(std::string_view record) const {
  std::string key;
  if (key_length_ > 0) key.reserve(static_cast<std::size_t>(key_length_));
  Key(record, &key);
  return key;
}

namespace {

template <class Record>
std::vector<std::string> KeysOn(const KeyBuilder& builder, std::span<const Record> records,
                                unsigned threads) {
  std::vector<std::string> keys(records.size());
  base::ParallelFor(records.size(), threads, 4096, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) builder.Key(records[i], &keys[i]);
  });
  return keys;
}

}  // namespace

std::vector<std::string> KeyBuilder::Keys(std::span<const std::string_view> records,
                                          unsigned threads) const {
  return KeysOn(*this, records, threads);
}

std::vector<std::string> KeyBuilder::Keys(std::span<const std::string> records,
                                          unsigned threads) const {
  return KeysOn(*this, records, threads);
}

std::string BuildKey(std::string_view algorithm, std::string_view data) {
  return KeyBuilder(algorithm).Key(data);
}

std::string GetDataField(std::string_view text, int index) {
  return text::Encode(engine::ItemAt(TextView(text::Decode(text)), index));
}

}  // namespace korvix
