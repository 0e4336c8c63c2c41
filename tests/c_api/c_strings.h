// Strings that come back from the C interface, taken into C++ values so that
// tests compare them directly and nothing is leaked.
#ifndef KORVIX_TESTS_C_API_C_STRINGS_H_
#define KORVIX_TESTS_C_API_C_STRINGS_H_

#include <optional>
#include <string>

#include "korvix/korvix.h"

namespace korvix::c_api::testing {

// Takes ownership of a string the C interface returned; null stays empty.
inline std::optional<std::string> Take(char* text) {
  if (text == nullptr) return std::nullopt;
  std::string copy(text);
  korvix_free(text);
  return copy;
}

}  // namespace korvix::c_api::testing

#endif  // KORVIX_TESTS_C_API_C_STRINGS_H_
