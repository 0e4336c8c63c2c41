// Keying every record of an input on all cores.
#ifndef KORVIX_TOOLS_DEDUPE_KEYING_H_
#define KORVIX_TOOLS_DEDUPE_KEYING_H_

#include <optional>

#include "dedupe/progress.h"
#include "dedupe/record_source.h"
#include "key_table.h"
#include "korvix/key_builder.h"

namespace korvix::cli {

// Reads every record of `source` and keys it with `builder`. The calling
// thread reads batches while `threads` threads (0: one per core) split and
// key the batches before it, so reading and keying overlap; at most a few
// batches wait at any time, so memory does not grow with the input. Returns
// the keys and places in input order; updates `progress` (may be null) as it
// goes. `input_size`, when known, lets the first batches size the table for
// the whole input. Throws what source.Read throws, and IoError when the input
// holds more than KeyTable::kMaxRecords records.
KeyTable KeyRecords(RecordSource& source, const KeyBuilder& builder, unsigned threads,
                    Progress* progress, std::optional<std::uint64_t> input_size = std::nullopt);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_DEDUPE_KEYING_H_
