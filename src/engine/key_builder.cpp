#include "korvix/key_builder.h"

#include <algorithm>

#include "base/parallel.h"
#include "base/text.h"
#include "engine/phonetic_code.h"
#include "engine/record.h"
#include "engine/slots.h"
#include "engine/street.h"
#include "korvix/phonetic.h"

namespace korvix {
namespace {

using engine::RecordItems;

// Per-thread buffers, so that keying a record allocates only the key.
struct Scratch {
  std::string joined;      // the items of a compound
  std::string street;      // a normalised street
  std::string code;        // a phonetic code
  std::string normalized;  // a value that is not yet valid UTF-8 in NFC
  std::string previous;    // the finished part of the slot before
};

Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

// The thread's Scratch, looked up on first use: the common values of a
// record fit in buffers on the stack, and the look-up of a thread_local in
// a shared library is a call.
class LazyScratch {
 public:
  Scratch* operator->() {
    if (scratch_ == nullptr) scratch_ = &ThreadScratch();
    return scratch_;
  }

 private:
  Scratch* scratch_ = nullptr;
};

// The record items a slot reads: its own item, or Bez1 onwards for a compound.
int ItemsRead(int field) {
  if (field <= 1) return 1;  // an index of 1 or less reads item 1
  if (field <= engine::kMaxItem) return field;
  if (field == kFieldBez12) return kFieldBez2;
  if (field == kFieldBez123) return kFieldBez3;
  if (field == kFieldBez1234) return kFieldBez4;
  return 0;  // above 53: no item
}

int ItemsRead(std::span<const AlgorithmSlot> slots) {
  int items = 0;
  for (const AlgorithmSlot& slot : slots) items = std::max(items, ItemsRead(slot.field));
  return items;
}

bool IsContinuation(char b) { return (static_cast<unsigned char>(b) & 0xC0) == 0x80; }

// True iff valid UTF-8 `value` holds at least `chars` characters.
bool HasChars(std::string_view value, int chars) {
  for (const char b : value) chars -= !IsContinuation(b);
  return chars <= 0;
}

// Appends valid UTF-8 `value` cut or filled with "-" to the slot's length,
// counting characters (bytes, when `ascii`); a negative length skips the step.
void AppendCut(std::string_view value, bool ascii, const AlgorithmSlot& slot, std::string* key) {
  if (slot.length < 0) {
    key->append(value);
    return;
  }
  const auto length = static_cast<std::size_t>(slot.length);
  std::size_t chars = 0;  // characters taken from the value
  std::size_t begin = 0;
  std::size_t end = value.size();
  if (ascii) {
    chars = std::min(length, value.size());
    if (slot.FromRight()) {
      begin = end - chars;
    } else {
      end = chars;
    }
  } else if (slot.FromRight()) {
    for (begin = end; begin > 0 && chars < length; ++chars) {
      do --begin;
      while (begin > 0 && IsContinuation(value[begin]));
    }
  } else {
    for (end = 0; end < value.size() && chars < length; ++chars) {
      do ++end;
      while (end < value.size() && IsContinuation(value[end]));
    }
  }
  // Most values fill their part: no call for an empty filling.
  if (slot.FromRight() && chars < length) key->append(length - chars, '-');
  key->append(value.data() + begin, end - begin);
  if (!slot.FromRight() && chars < length) key->append(length - chars, '-');
}

// The normalised street of trimmed `value` for `slot`, trimmed; or, for a
// part cut from the left, that part.
std::string_view Street(std::string_view value, const AlgorithmSlot& slot, LazyScratch& s,
                        char (&plain)[engine::kPlainStreet]) {
  // A part cut from the left needs only the start of the street, when
  // that start gives enough characters.
  const bool left = slot.length >= 0 && !slot.FromRight() && !slot.Phonetic();
  if (left && static_cast<std::size_t>(slot.length) <= engine::kPlainStreet &&
      engine::WriteStreetStart(value, static_cast<std::size_t>(slot.length), plain)) {
    return std::string_view(plain, static_cast<std::size_t>(slot.length));  // the part itself, not trimmed
  }
  const std::string_view start = left ? engine::StreetStart(value, static_cast<std::size_t>(slot.length)) : value;
  std::string_view street;
  if (engine::WritePlainStreet(start, plain)) {
    street = std::string_view(plain, start.size());
  } else {
    s->street.clear();
    engine::AppendNormalizedStreet(start, &s->street);
    street = s->street;
  }
  if (start.size() < value.size() && !HasChars(text::TrimBlanks(street), slot.length)) {
    s->street.clear();
    engine::AppendNormalizedStreet(value, &s->street);
    street = s->street;
  }
  return text::TrimBlanks(street);
}

// The key of one record. Items are taken as bytes; each is read as the
// component reads text (Windows-1252 fallback, NFC) only where that can
// change it. That equals reading the whole record first: "|" and the
// joining blank never sit inside a character, and nothing composes with them.
void AppendKey(std::span<const AlgorithmSlot> slots, const RecordItems& items, LazyScratch& s,
               std::string* key) {
  // The common street starts and phonetic codes are made here.
  char plain_street[engine::kPlainStreet];
  char code[128];
  for (std::size_t n = 0; n < slots.size(); ++n) {
    const AlgorithmSlot& slot = slots[n];
    // `value` is host bytes until `ready`: valid UTF-8 to be taken as it stands.
    std::string_view value;
    bool ready = false;
    if (slot.field < kFieldBez12) {
      value = items.Item(slot.field);
    } else if (slot.field <= kFieldBez1234) {
      s->joined.assign(items.Item(kFieldBez1));
      for (int item = kFieldBez2; item <= ItemsRead(slot.field); ++item) {
        s->joined.append(1, ' ').append(items.Item(item));
      }
      value = s->joined;
    } else {
      // Above 53: the finished part of the slot before (nothing for a first
      // slot), worked again. It is key text already and is not read a
      // second time.
      if (n > 0) value = s->previous;
      ready = true;
    }
    value = text::TrimBlanks(value);
    if (slot.field == kFieldStrasse) {
      value = Street(value, slot, s, plain_street);
      ready = true;
    }
    bool ascii = true;  // phonetic codes are
    if (slot.Phonetic()) {
      char* end = nullptr;
      if (engine::PhoneticRoom(value.size()) <= sizeof code) {
        end = ready ? engine::WritePhoneticCodeAsIs(value, code) : engine::WritePhoneticCode(value, code);
      }
      if (end != nullptr) {
        value = std::string_view(code, static_cast<std::size_t>(end - code));
      } else {
        s->code.clear();
        if (ready) {
          engine::AppendPhoneticCodeAsIs(value, &s->code);
        } else {
          AppendPhoneticCode(value, &s->code);
        }
        value = s->code;
      }
    } else {
      ascii = text::IsAscii(value);
      if (!ascii && !ready && !text::IsNormalized(value)) {
        s->normalized.clear();
        text::AppendNormalized(value, &s->normalized);
        value = s->normalized;
      }
    }
    const std::size_t start = key->size();
    AppendCut(value, ascii, slot, key);
    if (n + 1 < slots.size() && slots[n + 1].field > kFieldBez1234) {
      s->previous.assign(*key, start);
    }
  }
}

}  // namespace

KeyBuilder::KeyBuilder(std::string_view algorithm) noexcept {
  const engine::SlotList list = engine::ReadSlots(algorithm);
  slots_.assign(list.view().begin(), list.view().end());
  items_needed_ = ItemsRead(slots_);
  for (const AlgorithmSlot& slot : slots_) {
    if (key_length_ >= 0) key_length_ = slot.length < 0 ? -1 : key_length_ + slot.length;
  }
}

void KeyBuilder::Key(std::string_view record, std::string* key) const noexcept {
  key->clear();
  if (slots_.empty()) return;
  LazyScratch scratch;
  AppendKey(slots_, RecordItems(record, items_needed_), scratch, key);
}

std::string KeyBuilder::Key(std::string_view record) const noexcept {
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
                                          unsigned threads) const noexcept {
  return KeysOn(*this, records, threads);
}

std::vector<std::string> KeyBuilder::Keys(std::span<const std::string> records,
                                          unsigned threads) const noexcept {
  return KeysOn(*this, records, threads);
}

std::string BuildKey(std::string_view algorithm, std::string_view data) noexcept {
  const engine::SlotList list = engine::ReadSlots(algorithm);
  std::string key;
  if (list.size > 0) {
    LazyScratch scratch;
    AppendKey(list.view(), RecordItems(data, ItemsRead(list.view())), scratch, &key);
  }
  return key;
}

std::string NormalizeText(std::string_view bytes) {
  std::string out;
  text::AppendNormalized(bytes, &out);
  return out;
}

std::string GetDataField(std::string_view text, int index) noexcept {
  return NormalizeText(engine::ItemAt(text, index));
}

}  // namespace korvix
