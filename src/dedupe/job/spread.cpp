#include "dedupe/job/spread.h"

#include <algorithm>
#include <optional>

#include "base/parallel.h"
#include "dedupe/compare/profile.h"
#include "dedupe/core/error.h"
#include "dedupe/key/keying.h"
#include "dedupe/read/memory_source.h"
#include "korvix/key_builder.h"

namespace korvix::dedupe {

namespace {

LinkOptions LinkingOptions(const DedupeOptions& options) {
  LinkOptions link;
  link.verify = options.verify;
  link.max_candidates = options.max_candidates;
  link.threads = options.threads;
  link.memory = options.memory;
  return link;
}

// The profiles of `records`, that of records[k] at places[k], made on all
// threads from their texts (text_of(record)), with the shares of `counts`.
template <class TextOf>
ProfileList MakeProfiles(std::span<const std::uint32_t> records, std::span<const std::uint32_t> places,
                         const TextOf& text_of, const SpreadCounts& counts, unsigned threads) {
  ProfileList list;
  list.profiles.resize(records.size());
  const std::size_t parts = base::PartsFor(records.size(), threads, 4096);
  list.makers.resize(parts);
  base::ParallelParts(parts, [&](std::size_t part) {
    for (std::size_t k = records.size() * part / parts; k < records.size() * (part + 1) / parts; ++k) {
      list.profiles[places[k]] = list.makers[part].Make(text_of(records[k]));
    }
    list.makers[part].Finish();
  });
  NameWordCounts words;
  for (std::size_t i = 0; i < counts.words.size(); ++i) words.Add(counts.words[i], counts.counts[i]);
  words.SetShares(list.profiles, counts.records);
  return list;
}

}  // namespace

void CheckLinking(const DedupeOptions& options) {
  if (options.algorithms.empty()) throw UsageError("no algorithm to key the records with");
  if (options.algorithms.size() > 255) throw UsageError("at most 255 algorithms");
  if (options.verify < 0 || options.verify > 1) {
    throw UsageError("the verification threshold must lie between 0 and 1");
  }
}

void KeyForSpread(std::span<const std::string_view> records, const DedupeOptions& options,
                  std::vector<std::vector<std::string>>* keys, std::vector<std::string>* profiles) {
  CheckLinking(options);
  std::vector<KeyBuilder> builders;
  for (const DedupeAlgorithm& a : options.algorithms) builders.emplace_back(a.code);
  MemorySource source(records);
  KeptRecords kept;
  const KeyTable table = KeyRecords(source, builders, options.normalize, options.threads, nullptr,
                                    std::nullopt, options.verify > 0 ? &kept : nullptr);
  keys->assign(builders.size(), {});
  for (std::size_t a = 0; a < builders.size(); ++a) {
    (*keys)[a].reserve(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) (*keys)[a].emplace_back(table.key(a, i));
  }
  profiles->clear();
  if (options.verify > 0) {
    profiles->reserve(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) profiles->emplace_back(kept.texts.key(i));
  }
}

std::vector<std::pair<std::uint64_t, std::uint32_t>> CountSpreadNameWords(
    std::span<const std::string_view> profiles) {
  ProfileMaker maker;
  NameWordCounts words;
  for (const std::string_view text : profiles) {
    const Profile p = maker.Make(text);
    words.Add(std::span<const Profile>(&p, 1));
  }
  return words.Words();
}

std::vector<ScoredLink> ScoreSpreadRuns(const SpreadRuns& runs, const SpreadCounts& counts,
                                        const DedupeOptions& options) {
  CheckLinking(options);
  std::vector<KeyRun> key_runs;
  for (std::size_t k = 0; k < runs.ends.size(); ++k) {
    const std::size_t begin = k == 0 ? 0 : runs.ends[k - 1];
    key_runs.push_back({runs.members.subspan(begin, runs.ends[k] - begin), runs.algorithms[k], runs.keys[k]});
  }
  const FetchProfiles fetch = [&](std::span<const std::uint32_t> records, std::span<const std::uint32_t> places) {
    return MakeProfiles(records, places, [&](std::uint32_t r) { return runs.profiles[r]; }, counts, options.threads);
  };
  std::vector<BigVector<std::uint32_t>> made;
  for (const std::vector<std::uint32_t>& m : runs.made) made.emplace_back(m.begin(), m.end());
  return ScoreRuns(key_runs, runs.profiles.size(), made, fetch, LinkingOptions(options));
}

SpreadGroups GroupSpreadLinks(std::size_t records, std::vector<ScoredLink> links,
                              std::span<const std::uint32_t> linked,
                              std::span<const std::string_view> profiles,
                              std::span<const std::string_view> first_keys, const SpreadCounts& counts,
                              const DedupeOptions& options) {
  CheckLinking(options);
  for (const ScoredLink& l : links) {
    if (l.algorithm >= options.algorithms.size() ||
        !std::binary_search(linked.begin(), linked.end(), l.a) || !std::binary_search(linked.begin(), linked.end(), l.b)) {
      throw UsageError("a link names an algorithm, or a record, that is not given");
    }
  }
  const auto at = [linked](std::uint32_t r) {
    return static_cast<std::size_t>(std::lower_bound(linked.begin(), linked.end(), r) - linked.begin());
  };
  const FetchProfiles fetch = [&](std::span<const std::uint32_t> wanted, std::span<const std::uint32_t> places) {
    return MakeProfiles(wanted, places, [&](std::uint32_t r) { return profiles[at(r)]; }, counts, options.threads);
  };
  const Links found = GroupLinks(records, std::move(links), fetch,
                                 [&](std::uint32_t r) { return first_keys[at(r)]; }, LinkingOptions(options));
  SpreadGroups groups{{found.group.begin(), found.group.end()}, found.algorithm,
                      {found.score.begin(), found.score.end()}};
  groups.score.resize(records, 0);  // unverified: no scores
  return groups;
}

}  // namespace korvix::dedupe
