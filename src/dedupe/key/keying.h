// Keying every record of an input under each algorithm, on all cores.
#ifndef KORVIX_DEDUPE_KEYING_H_
#define KORVIX_DEDUPE_KEYING_H_

#include <cstdint>
#include <optional>
#include <span>

#include "dedupe/core/key_table.h"
#include "dedupe/core/progress.h"
#include "dedupe/read/record_source.h"
#include "korvix/key_builder.h"

namespace korvix::dedupe {

// The profile texts of the records (ProfileTextOf), kept while they are
// keyed: what verification compares is then read from memory instead of
// from the input a second time, and normalised once.
struct KeptRecords {
  KeyColumn texts;  // record i's profile text
};

// Reads every record of `source` and keys it with each of `builders`, the
// record normalised first (NormalizeRecord) when `normalize`; with `kept`,
// also sets kept->texts to every record's profile text. The calling
// thread reads batches and stores their keys while `threads` threads (0:
// every usable processor) split and key the batches read before (see
// RunPipeline), so memory holds a few batches besides the keys whatever the
// input's size. Returns the keys and places in input order; updates
// `progress` (may be null) as it goes. `input_size`, when known, lets the
// first round size the table for the whole input. Throws what source.Read
// throws, and IoError when the input holds more than KeyTable::kMaxRecords
// records.
KeyTable KeyRecords(RecordSource& source, std::span<const KeyBuilder> builders, bool normalize,
                    unsigned threads, Progress* progress,
                    std::optional<std::uint64_t> input_size = std::nullopt,
                    KeptRecords* kept = nullptr);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_KEYING_H_
