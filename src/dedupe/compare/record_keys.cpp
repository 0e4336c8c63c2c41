// One record normalised and keyed, apart from the job's reading and
// threads: the database extensions link this and not the job.
#include "dedupe/compare/record_keys.h"

#include <algorithm>

#include "base/text.h"
#include "korvix/algorithm_code.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {

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

JointKeys::JointKeys(std::span<const KeyBuilder> builders) : builders_(builders) {
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

void JointKeys::Keys(std::string_view record, std::span<std::string> keys, std::string* joint,
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

RecordKeyer::RecordKeyer(std::span<const KeyBuilder> builders, bool normalize, std::uint64_t also)
    : joint_keys_(builders),
      normalize_(normalize),
      normalizes_(normalize || also != 0),
      normalizer_((normalize ? ItemsKeyed(builders) : 0) | also) {}

void RecordKeyer::Keys(std::string_view record, std::span<std::string> keys) {
  if (normalizes_) normalizer_.Record(record, &normal_);
  // Items normalised only for the caller are read by no key.
  joint_keys_.Keys(normalize_ ? std::string_view(normal_) : record, keys, &joint_, &ends_);
}

namespace {

std::vector<KeyBuilder> RecommendedBuilders() {
  std::vector<KeyBuilder> builders;
  for (const DedupeAlgorithm& algorithm : RecommendedDedupe().algorithms)
    builders.emplace_back(algorithm.code);
  return builders;
}

}  // namespace

RecommendedKeyer::RecommendedKeyer()
    : builders_(RecommendedBuilders()), keyer_(builders_, RecommendedDedupe().normalize) {}

void RecommendedKeyer::Keys(std::string_view record, std::vector<std::string>* keys) {
  keys->resize(builders_.size());
  keyer_.Keys(record, *keys);
}

}  // namespace korvix::dedupe
