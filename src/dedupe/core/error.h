// The errors of the dedupe job, by the kind the caller tells apart.
#ifndef KORVIX_DEDUPE_ERROR_H_
#define KORVIX_DEDUPE_ERROR_H_

#include <string>

#include "korvix/dedupe.h"

namespace korvix::dedupe {

// The options or the call are wrong (a command line would say so with its usage).
inline DedupeError UsageError(std::string message) {
  return DedupeError(DedupeError::Kind::kUsage, std::move(message));
}

// A file could not be read or written, or its content was refused.
inline DedupeError IoError(std::string message) {
  return DedupeError(DedupeError::Kind::kIo, std::move(message));
}

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_ERROR_H_
