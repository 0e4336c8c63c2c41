// A run's decisions (DedupeOptions::decisions) turned into what linking and
// the survivors honour, by the identities of the records.
#ifndef KORVIX_DEDUPE_DECIDED_H_
#define KORVIX_DEDUPE_DECIDED_H_

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "dedupe/link/linking.h"
#include "korvix/decisions.h"

namespace korvix::dedupe {

// The records of one side by identity.
using RecordsByIdentity = std::unordered_map<std::string, std::vector<std::uint32_t>>;

// A value decision on one record of the input: the column as decided.
struct DecidedValue {
  std::uint32_t record = 0;
  std::string field;
  std::size_t decision = 0;  // its position among the decisions: copies share one
};

struct Decided {
  DecidedPairs pairs;
  std::vector<std::uint32_t> survivors;  // of the input, in the order decided
  std::vector<DecidedValue> values;      // of the input, in the order decided
};

// The pairs and survivors of `decisions` among the records of the input
// and, when `base` is not null, of the base (then a pair is an input record
// and a base record, either way round the decision names them; survivors
// and values are for one file only). Decisions on records neither side has are passed over.
Decided DecisionsOnRecords(std::span<const Decision> decisions, const RecordsByIdentity& input,
                           const RecordsByIdentity* base);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_DECIDED_H_
