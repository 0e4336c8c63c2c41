#include "dedupe/job/decided.h"

namespace korvix::dedupe {

Decided DecisionsOnRecords(std::span<const Decision> decisions, const RecordsByIdentity& input,
                           const RecordsByIdentity* base) {
  static const std::vector<std::uint32_t> kNone;
  const auto of = [](const RecordsByIdentity& side, const std::string& identity) -> const std::vector<std::uint32_t>& {
    const auto it = side.find(identity);
    return it == side.end() ? kNone : it->second;
  };
  Decided decided;
  for (std::size_t k = 0; k < decisions.size(); ++k) {
    const Decision& d = decisions[k];
    if (d.kind == DecisionKind::kSurvivor || d.kind == DecisionKind::kValue) {
      if (base != nullptr) continue;
      for (const std::uint32_t r : of(input, d.a)) {
        if (d.kind == DecisionKind::kSurvivor) {
          decided.survivors.push_back(r);
        } else {
          decided.values.push_back({r, d.field, k});
        }
      }
      continue;
    }
    auto& pairs = d.kind == DecisionKind::kSame ? decided.pairs.same : decided.pairs.different;
    const auto add = [&](const std::string& a, const std::string& b) {
      for (const std::uint32_t x : of(input, a)) {
        for (const std::uint32_t y : of(base != nullptr ? *base : input, b)) pairs.emplace_back(x, y);
      }
    };
    add(d.a, d.b);
    if (base != nullptr) add(d.b, d.a);
  }
  return decided;
}

}  // namespace korvix::dedupe
