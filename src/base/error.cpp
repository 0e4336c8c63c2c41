#include "korvix/error.h"

namespace korvix {

// Out of line, so that the class's type information lives in the library
// alone and a host catches what the library throws by the same type.
Error::Error(ErrorCode code, const std::string& message)
    : std::runtime_error(message), code_(code) {}
Error::~Error() = default;

}  // namespace korvix
