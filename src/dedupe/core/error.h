// The errors of the dedupe job, by the code the caller tells apart.
#ifndef KORVIX_DEDUPE_ERROR_H_
#define KORVIX_DEDUPE_ERROR_H_

#include <string>

#include "korvix/error.h"

namespace korvix::dedupe {

// The options or the call are wrong (a command line would say so with its usage).
inline Error UsageError(std::string message) {
  return Error(ErrorCode::kInvalidArgument, message);
}

// A file could not be read or written, or its content was refused.
inline Error IoError(std::string message) { return Error(ErrorCode::kIo, message); }

// The work would need more memory than the run may take.
inline Error MemoryError(std::string message) { return Error(ErrorCode::kRefused, message); }

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_ERROR_H_
