// The options of the dedupe job on the command line, shared by the
// commands that run it (dedupe, evaluate).
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

// Runs `run`, a call of the job, turning its DedupeError into the command
// line's UsageError (status 2) or IoError (status 1).
template <class Run>
auto WithDedupeErrors(Run&& run) {
  try {
    return run();
  } catch (const DedupeError& e) {
    if (e.kind() == DedupeError::Kind::kUsage) throw UsageError(e.what());
    throw IoError(e.what());
  }
}

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_DEDUPE_ARGS_H_
