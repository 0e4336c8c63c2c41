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

struct Decided {
  DecidedPairs pairs;
  std::vector<std::uint32_t> survivors;  // of the input, in the order decided
};

// The pairs and survivors of `decisions` among the records of the input
// and, when `base` is not null, of the base (then a pair is an input record
// and a base record, either way round the decision names them; survivors
// are for one file only). Decisions on records neither side has are passed over.
Decided DecisionsOnRecords(std::span<const Decision> decisions, const RecordsByIdentity& input,
                           const RecordsByIdentity* base);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_DECIDED_H_
