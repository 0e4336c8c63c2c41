#include "dedupe/clean/survivors.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace korvix::dedupe {

namespace {

// The survivor's fields with each empty one taken from the first member in
// `rank` that has it; "" when none was empty and filled.
std::string Fill(std::span<const std::vector<RawField>> members, std::span<const std::size_t> rank,
                 const RecordLayout& layout) {
  const std::vector<RawField>& survivor = members[rank[0]];
  std::size_t width = 0;
  for (const auto& m : members) width = std::max(width, m.size());
  // A CSV record has the header's width; record strings may end early.
  if (layout.quoted) width = survivor.size();
  std::vector<std::string_view> out;
  bool changed = false;
  for (std::size_t f = 0; f < width; ++f) {
    std::string_view raw = f < survivor.size() ? survivor[f].raw : std::string_view();
    if (f >= survivor.size() || survivor[f].value.empty()) {
      for (const std::size_t m : rank.subspan(1)) {
        if (f < members[m].size() && !members[m][f].value.empty()) {
          raw = members[m][f].raw;
          changed = true;
          break;
        }
      }
    }
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
  const std::vector<std::uint32_t>& members = links.members;
  const auto merge = [&](std::size_t begin, std::size_t end, std::uint32_t survivor) {
    for (std::size_t k = begin; k < end; ++k) s.of[members[k]] = survivor;
    s.merged += end - begin - 1;
  };
  std::unordered_map<std::uint32_t, std::size_t> chosen;  // record: when decided
  for (std::size_t k = 0; k < choice.decided.size(); ++k) chosen[choice.decided[k]] = k;
  if (choice.rule.kind == SurvivorKind::kFirst && !choice.fill && chosen.empty()) {
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
    if (choice.fill) {
      std::string filled = Fill(fields, rank, choice.layout);
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
