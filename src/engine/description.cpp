#include "korvix/description.h"

#include "base/text.h"
#include "engine/slots.h"
#include "korvix/fields.h"

namespace korvix {
namespace {

using text::Text;
using text::TextView;

void AppendNumber(int n, Text* out) {
  const std::string digits = std::to_string(n);
  out->append(digits.begin(), digits.end());
}

}  // namespace

std::string DescribeAlgorithm(std::string_view algorithm) noexcept {
  Text description;
  Text item;  // kept across slots: a field above 53 sets no label of its own
  const engine::SlotList slots = engine::ReadSlots(algorithm);
  for (const AlgorithmSlot& slot : slots.view()) {
    // A field above 53 names nothing, and the item of the slot before stays.
    if (slot.field <= kFieldBez1234) item = text::Decode(FieldLabel(slot.field));
    Text decorated;
    AppendNumber(slot.length, &decorated);
    if (slot.FromRight()) decorated += U'R';
    decorated += slot.Phonetic() ? U"['sndx:" : U"(";
    decorated += item;
    decorated += slot.Phonetic() ? U']' : U')';
    item = std::move(decorated);
    if (!description.empty()) description += U'+';
    description += item;
  }
  return text::Encode(description);
}

}  // namespace korvix
