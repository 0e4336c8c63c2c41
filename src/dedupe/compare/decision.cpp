// What names a record in a person's decisions, the names of the kinds, and
// decisions that contradict each other.
#include <cstdint>
#include <deque>
#include <span>
#include <unordered_map>
#include <utility>
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
                               {DecisionKind::kSurvivor, "survivor", "bleibt"},
                               {DecisionKind::kValue, "value", "wert"}};

// The identities that "same" decisions join to `from`, one step each, by
// breadth first: the chain from `from` to `to`, joined by " = ".
std::string SameChain(std::span<const Decision> decisions, const std::string& from, const std::string& to) {
  std::unordered_map<std::string, std::string> came_from{{from, ""}};
  std::deque<std::string> next{from};
  while (!next.empty() && came_from.count(to) == 0) {
    const std::string at = next.front();
    next.pop_front();
    for (const Decision& d : decisions) {
      if (d.kind != DecisionKind::kSame || (d.a != at && d.b != at)) continue;
      const std::string& other = d.a == at ? d.b : d.a;
      if (came_from.emplace(other, at).second) next.push_back(other);
    }
  }
  std::string chain = to;
  for (std::string at = to; at != from;) {
    at = came_from.at(at);
    chain = at + " = " + chain;
  }
  return chain;
}

}  // namespace

void CheckDecisionsAgree(std::span<const Decision> decisions) {
  std::unordered_map<std::string, std::string> parent;
  const auto find = [&](std::string x) {
    for (auto it = parent.find(x); it != parent.end() && it->second != x; it = parent.find(x)) x = it->second;
    return x;
  };
  for (const Decision& d : decisions) {
    if (d.kind != DecisionKind::kSame) continue;
    const std::string a = find(d.a), b = find(d.b);
    if (a != b) parent[a] = b;
  }
  for (const Decision& d : decisions) {
    if (d.kind == DecisionKind::kDifferent && d.a == d.b) {
      throw Error(ErrorCode::kInvalidArgument,
                  d.a + " is decided different from itself: records of one content are one to a decision; "
                        "name them by an id column");
    }
    if (d.kind == DecisionKind::kDifferent && find(d.a) == find(d.b)) {
      throw Error(ErrorCode::kInvalidArgument,
                  "the decisions contradict each other: " + d.a + " and " + d.b +
                      " are decided different, but the same by " + SameChain(decisions, d.a, d.b) +
                      "; forget one of them first (korvix decisions forget)");
    }
  }
}

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
              "a decision is same, different, survivor or value (gleich, verschieden, bleibt, wert), not '" +
                  std::string(name) + "'");
}

Decision MakeDecision(std::string_view kind, std::string a, std::string second) {
  Decision d;
  d.kind = ReadDecisionKind(kind);
  d.a = std::move(a);
  (d.kind == DecisionKind::kValue ? d.field : d.b) = std::move(second);
  return d;
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
