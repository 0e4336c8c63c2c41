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
  for (const Decision& d : decisions) {
    if (d.kind == DecisionKind::kSurvivor) {
      if (base == nullptr) {
        for (const std::uint32_t r : of(input, d.a)) decided.survivors.push_back(r);
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
