// Picking each group's survivor, filling its empty fields from the records
// merged into it, and giving it the values a person chose.
#ifndef KORVIX_DEDUPE_SURVIVORS_H_
#define KORVIX_DEDUPE_SURVIVORS_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dedupe/clean/survivor_rule.h"
#include "dedupe/link/linking.h"

namespace korvix::dedupe {

// The survivor of each record, and the survivors that filling changed.
struct Survivors {
  std::vector<std::uint32_t> of;  // per record: its group's survivor, its own when alone
  // Survivors whose fields were filled, ascending, with their new bytes.
  std::vector<std::uint32_t> filled;
  std::vector<std::string> filled_bytes;
  std::size_t merged = 0;  // records whose survivor is another

  bool Merged(std::uint32_t r) const { return of[r] != r; }
};

// Reads the records `order` names, in that order, handing each one's
// position in `order` and its bytes to the visit.
using ReadRecords = std::function<void(std::span<const std::uint32_t> order,
                                       const std::function<void(std::size_t, std::string_view)>& visit)>;

// A value a person chose (a value decision): `record`'s value of `column`
// (from 0) is its group's survivor's.
struct ChosenValue {
  std::uint32_t record = 0;
  std::size_t column = 0;
  std::size_t decision = 0;  // later decisions win; copies share one, the earliest record wins
};

struct SurvivorChoice {
  SurvivorRule rule;
  std::size_t column = 0;  // the rule's column from 0
  bool fill = false;
  RecordLayout layout;
  // Records a person chose (DedupeOptions::decisions), in the order
  // decided: each survives in its group whatever the rule; of several in
  // one group, the one decided last.
  std::vector<std::uint32_t> decided;
  // Values a person chose: of several for one column of a group, the one
  // decided last; they go before filling.
  std::vector<ChosenValue> values;
  // Told once when groups hold more than one master record.
  std::function<void(const std::string&)> message;
};

// The survivors of the groups of `links` over `records` records. Reads the
// records in groups once, a group at a time, unless the rule is "first"
// without filling or chosen values, which needs no record.
Survivors ChooseSurvivors(const Links& links, std::size_t records, const SurvivorChoice& choice,
                          const ReadRecords& read);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_SURVIVORS_H_
