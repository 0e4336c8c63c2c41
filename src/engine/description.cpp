#include "korvix/description.h"

#include "engine/record.h"
#include "engine/slots.h"
#include "base/text.h"

namespace korvix {
namespace {

using text::Text;
using text::TextView;

constexpr TextView kLabels = U"PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe";

void AppendNumber(int n, Text* out) {
  const std::string digits = std::to_string(n);
  out->append(digits.begin(), digits.end());
}

}  // namespace

std::string DescribeAlgorithm(std::string_view algorithm) {
  Text description;
  Text item;  // kept across slots: a field above 53 sets no label of its own
  for (const AlgorithmSlot& slot : engine::ReadSlots(text::Decode(algorithm))) {
    if (slot.field < kFieldBez12) {
      item = engine::ItemAt(kLabels, slot.field);
    } else if (slot.field == kFieldBez12) {
      item = U"Bez1+2";
    } else if (slot.field == kFieldBez123) {
      item = U"Bez1+2+3";
    } else if (slot.field == kFieldBez1234) {
      item = U"Bez1+2+3+4";
    }
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
