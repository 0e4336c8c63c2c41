#include "dedupe/clean/survivors.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace korvix::dedupe {

namespace {

// The survivor's fields as the clean file has them: each chosen value from
// its member (`chosen`: column and member), each other empty field, when
// filling, from the first member in `rank` that has it; "" when none changed.
std::string SurvivorBytes(std::span<const std::vector<RawField>> members, std::span<const std::size_t> rank,
                          std::span<const std::pair<std::size_t, std::size_t>> chosen, bool fill,
                          const RecordLayout& layout) {
  const std::vector<RawField>& survivor = members[rank[0]];
  // A CSV record has the header's width; record strings may end early.
  std::size_t width = survivor.size();
  if (!layout.quoted) {
    for (const auto& m : members) width = std::max(width, fill ? m.size() : 0);
    for (const auto& [column, m] : chosen) width = std::max(width, std::min(column + 1, members[m].size()));
  }
  std::vector<std::string_view> out;
  bool changed = false;
  for (std::size_t f = 0; f < width; ++f) {
    const std::string_view own = f < survivor.size() ? survivor[f].raw : std::string_view();
    std::string_view raw = own;
    const auto pick = std::find_if(chosen.begin(), chosen.end(), [&](const auto& c) { return c.first == f; });
    if (pick != chosen.end()) {
      raw = f < members[pick->second].size() ? members[pick->second][f].raw : std::string_view();
    } else if (fill && (f >= survivor.size() || survivor[f].value.empty())) {
      for (const std::size_t m : rank.subspan(1)) {
        if (f < members[m].size() && !members[m][f].value.empty()) {
          raw = members[m][f].raw;
          break;
        }
      }
    }
    changed = changed || raw != own;
    out.push_back(raw);
  }
  if (!changed) return {};
  std::string bytes;
  for (std::size_t f = 0; f < out.size(); ++f) {
    if (f > 0) bytes.push_back(layout.delimiter);
    bytes.append(out[f]);
  }
  return bytes;
}

}  // namespace

Survivors ChooseSurvivors(const Links& links, std::size_t records, const SurvivorChoice& choice,
                          const ReadRecords& read) {
  Survivors s;
  s.of.resize(records);
  std::iota(s.of.begin(), s.of.end(), std::uint32_t{0});
  const std::span<const std::uint32_t> members = links.members;
  const auto merge = [&](std::size_t begin, std::size_t end, std::uint32_t survivor) {
    for (std::size_t k = begin; k < end; ++k) s.of[members[k]] = survivor;
    s.merged += end - begin - 1;
  };
  std::unordered_map<std::uint32_t, std::size_t> chosen;  // record: when decided
  for (std::size_t k = 0; k < choice.decided.size(); ++k) chosen[choice.decided[k]] = k;
  std::unordered_multimap<std::uint32_t, std::size_t> values;  // record: its chosen values
  for (std::size_t k = 0; k < choice.values.size(); ++k) values.emplace(choice.values[k].record, k);
  if (choice.rule.kind == SurvivorKind::kFirst && !choice.fill && chosen.empty() && values.empty()) {
    // Members are in input order: the first of each is the earliest.
    std::size_t begin = 0;
    for (const std::size_t end : links.group_ends) {
      merge(begin, end, members[begin]);
      begin = end;
    }
    return s;
  }
  std::vector<std::string> bytes;
  std::vector<std::vector<RawField>> fields;
  std::vector<std::uint32_t> several;  // groups with more than one master
  std::size_t group = 0;
  read(members, [&](std::size_t position, std::string_view record) {
    bytes.emplace_back(record);
    const std::size_t begin = group == 0 ? 0 : links.group_ends[group - 1];
    if (position + 1 < links.group_ends[group]) return;
    fields.resize(bytes.size());
    for (std::size_t m = 0; m < bytes.size(); ++m) SplitFields(bytes[m], choice.layout, &fields[m]);
    bool marked_twice = false;
    std::vector<std::size_t> rank = RankMembers(choice.rule, choice.column, fields, &marked_twice);
    // A person's choice goes first; the rule still orders the rest for filling.
    auto first = rank.end();
    for (auto m = rank.begin(); m != rank.end(); ++m) {
      const auto it = chosen.find(members[begin + *m]);
      if (it != chosen.end() && (first == rank.end() || it->second > chosen.at(members[begin + *first]))) first = m;
    }
    if (first != rank.end()) std::rotate(rank.begin(), first, first + 1);
    if (marked_twice) several.push_back(links.numbers.empty() ? static_cast<std::uint32_t>(group + 1) : links.numbers[group]);
    const std::uint32_t survivor = members[begin + rank[0]];
    merge(begin, position + 1, survivor);
    // The latest choice for each column among the members.
    std::vector<std::pair<std::size_t, std::size_t>> picked;  // column, member
    std::vector<std::size_t> when;
    for (std::size_t m = 0; m < fields.size(); ++m) {
      const auto [from, to] = values.equal_range(members[begin + m]);
      for (auto it = from; it != to; ++it) {
        const ChosenValue& value = choice.values[it->second];
        const auto same =
            std::find_if(picked.begin(), picked.end(), [&](const auto& p) { return p.first == value.column; });
        if (same == picked.end()) {
          picked.emplace_back(value.column, m);
          when.push_back(value.decision);
        } else if (when[same - picked.begin()] < value.decision) {
          same->second = m;
          when[same - picked.begin()] = value.decision;
        }
      }
    }
    if (choice.fill || !picked.empty()) {
      std::string filled = SurvivorBytes(fields, rank, picked, choice.fill, choice.layout);
      if (!filled.empty()) {
        s.filled.push_back(survivor);
        s.filled_bytes.push_back(std::move(filled));
      }
    }
    bytes.clear();
    ++group;
  });
  if (!s.filled.empty()) {
    std::vector<std::size_t> order(s.filled.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return s.filled[a] < s.filled[b]; });
    Survivors sorted;
    for (const std::size_t k : order) {
      sorted.filled.push_back(s.filled[k]);
      sorted.filled_bytes.push_back(std::move(s.filled_bytes[k]));
    }
    s.filled = std::move(sorted.filled);
    s.filled_bytes = std::move(sorted.filled_bytes);
  }
  if (!several.empty() && choice.message) {
    std::string groups;
    for (std::size_t k = 0; k < several.size() && k < 10; ++k) {
      groups += (k == 0 ? "" : ", ") + std::to_string(several[k]);
    }
    if (several.size() > 10) groups += ", ...";
    choice.message("--survivor master:" + choice.rule.column + ": " + std::to_string(several.size()) +
                   (several.size() == 1 ? " group has" : " groups have") +
                   " more than one master record; the earliest of each survives (group " + groups + ")");
  }
  return s;
}

}  // namespace korvix::dedupe
