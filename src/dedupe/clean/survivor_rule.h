// Which record of a duplicate group survives: the rules, and the fields of
// a record as the rules read them.
#ifndef KORVIX_DEDUPE_SURVIVOR_RULE_H_
#define KORVIX_DEDUPE_SURVIVOR_RULE_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvix::dedupe {

enum class SurvivorKind { kMostComplete, kFirst, kMax, kMaster };

struct SurvivorRule {
  SurvivorKind kind = SurvivorKind::kMostComplete;
  std::string column;  // as given, for max and master
};

// Reads "most-complete", "first", "max:COLUMN" or "master:COLUMN". Throws
// UsageError for anything else.
SurvivorRule ParseSurvivorRule(std::string_view text);

// One field of a record: its bytes as they stand in the input (quotes and
// all) and its value (quotes undone, blanks around it taken off).
struct RawField {
  std::string_view raw;
  std::string value;
};

// How a record's bytes divide into fields: CSV (quotes allowed) or record
// strings ('|', no quotes).
struct RecordLayout {
  char delimiter = '|';
  bool quoted = false;
};

// Splits a record's bytes, as the reader accepted them, into its fields.
void SplitFields(std::string_view bytes, const RecordLayout& layout, std::vector<RawField>* fields);

// The members of one group, best first under `rule`: ties keep the order
// given (the input's). `column` is the rule's column from 0. `several`
// is set when more than one member is marked master.
std::vector<std::size_t> RankMembers(const SurvivorRule& rule, std::size_t column,
                                     std::span<const std::vector<RawField>> members, bool* several);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_SURVIVOR_RULE_H_
