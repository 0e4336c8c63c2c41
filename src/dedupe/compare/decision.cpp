// What names a record in a person's decisions, and the names of the kinds.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text.h"
#include "korvix/decisions.h"
#include "korvix/dedupe.h"

namespace korvix {
namespace {

struct KindName {
  DecisionKind kind;
  std::string_view english, german;
};
constexpr KindName kKinds[] = {{DecisionKind::kSame, "same", "gleich"},
                               {DecisionKind::kDifferent, "different", "verschieden"},
                               {DecisionKind::kSurvivor, "survivor", "bleibt"}};

}  // namespace

std::string_view DecisionKindName(DecisionKind kind) {
  for (const KindName& k : kKinds) {
    if (k.kind == kind) return k.english;
  }
  return "same";
}

DecisionKind ReadDecisionKind(std::string_view name) {
  const std::string folded = text::FoldCase(text::TrimBlanks(name));
  for (const KindName& k : kKinds) {
    if (folded == k.english || folded == k.german) return k.kind;
  }
  throw Error(ErrorCode::kInvalidArgument,
              "a decision is same, different or survivor (gleich, verschieden, bleibt), not '" +
                  std::string(name) + "'");
}

std::string RecordIdentity(std::string_view record, std::string_view id) {
  const std::string_view trimmed = text::TrimBlanks(id);
  if (!trimmed.empty()) return "id:" + std::string(trimmed);
  // FNV-1a: fixed here, so that an identity stored today names the same
  // record in every later version.
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const unsigned char c : NormalizeRecord(record)) {
    hash = (hash ^ c) * 0x100000001b3ull;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string identity = "content:";
  for (int shift = 60; shift >= 0; shift -= 4) identity += kHex[(hash >> shift) & 0xF];
  return identity;
}

}  // namespace korvix
