#include "dedupe/link/lookup.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "dedupe/compare/profile.h"
#include "dedupe/compare/record_keys.h"
#include "dedupe/core/key_table.h"
#include "dedupe/link/linking.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {
namespace {

// One side keyed as the job keys a file: its key table, orders and the
// profile texts of its records.
struct Side {
  explicit Side(std::size_t algorithms) : table(algorithms) {}
  KeyTable table;
  std::vector<KeyOrder> orders;
  std::vector<std::string> profiles;

  FetchProfiles Fetch() const {
    return [this](std::span<const std::uint32_t> records, std::span<const std::uint32_t> places) {
      return MakeProfiles(records, places, [this](std::uint32_t r) { return std::string_view(profiles[r]); });
    };
  }
};

}  // namespace

std::vector<LookupMatch> LookUp(std::string_view record, std::span<const std::string_view> rows) {
  // Parsed once: a look-up is the hot path of the check at entry.
  static const DedupeOptions kOptions = RecommendedDedupe();
  static const std::vector<KeyBuilder> builders = [] {
    std::vector<KeyBuilder> made;
    for (const DedupeAlgorithm& a : kOptions.algorithms) made.emplace_back(a.code);
    return made;
  }();
  thread_local RecordKeyer keyer(builders, kOptions.normalize, kProfileItems);
  std::vector<std::string> keys(builders.size());
  const auto add = [&](Side* side, std::string_view text) {
    keyer.Keys(text, keys);
    const auto number = static_cast<std::uint64_t>(side->profiles.size());
    side->table.Add(keys, {number + 1, 0, static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), 0xFFFFFFFFu))});
    ProfileTextOf(keyer.normal(), keyer.marks(), &side->profiles.emplace_back());
  };
  Side input(builders.size()), base(builders.size());
  add(&input, record);
  for (const std::string_view row : rows) add(&base, row);
  input.orders = OrderByKeys(input.table, 1);
  base.orders = OrderByKeys(base.table, 1);
  LinkOptions link;
  link.verify = kOptions.verify;
  link.max_candidates = kOptions.max_candidates;
  link.threads = 1;
  const Links links = LinkToBase(input.table, input.orders, input.Fetch(), base.table, base.orders, base.Fetch(), link);
  std::vector<LookupMatch> matches;
  for (const DedupePair& p : links.pairs) matches.push_back({p.b, p.algorithm, p.score});
  std::stable_sort(matches.begin(), matches.end(), [](const LookupMatch& x, const LookupMatch& y) {
    return x.score > y.score || (x.score == y.score && x.row < y.row);
  });
  return matches;
}

std::string LookupJson(std::span<const LookupMatch> matches, std::span<const std::string> ids) {
  std::string json = "[";
  char number[32];
  for (const LookupMatch& m : matches) {
    if (json.size() > 1) json += ", ";
    json += "{\"id\": " + ids[m.row] + ", \"score\": ";
    json.append(number, std::to_chars(number, number + sizeof number, m.score).ptr);
    json += ", \"algorithm\": " + std::to_string(m.algorithm) + "}";
  }
  return json + "]";
}

}  // namespace korvix::dedupe
