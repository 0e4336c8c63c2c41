// The options of the dedupe job on the command line, shared by the
// commands that run it (dedupe, evaluate, index, match).
#ifndef KORVIX_TOOLS_DEDUPE_ARGS_H_
#define KORVIX_TOOLS_DEDUPE_ARGS_H_

#include <span>

#include "cli.h"
#include "korvix/dedupe.h"

namespace korvix::cli {

// The options of `korvix dedupe`.
std::span<const OptionDef> DedupeOptionDefs();

// The job's options from the command line. Without an algorithm, the
// built-in recommendation; --normalize and --verify add to either.
// Throws UsageError.
DedupeOptions DedupeOptionsOf(const Args& args);

// How the input is read (--input-format, --delimiter, --map, --strict) and
// the report written (--format, --output, --output-encoding), into
// `options`. Throws UsageError.
void ReadInputAndReportOptions(const Args& args, DedupeOptions* options);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_DEDUPE_ARGS_H_
