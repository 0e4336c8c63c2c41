// The street normalisation over host bytes, appending to a buffer.
#ifndef KORVIX_ENGINE_STREET_H_
#define KORVIX_ENGINE_STREET_H_

#include <string>
#include <string_view>

namespace korvix::engine {

// Appends NormalizeStreet(value) to `*out`, as UTF-8.
void AppendNormalizedStreet(std::string_view value, std::string* out);

// The shortest start of `value` (trimmed, not empty) of more than `chars`
// bytes that ends in an ASCII character no street word holds (not a blank,
// S, T, R, A or E, in either case) followed by an ASCII one, or `value`
// itself. The street words never reach across that character, and nothing
// after it changes the text before it, so NormalizeStreet of the start is
// the start of NormalizeStreet(value), up to that character.
std::string_view StreetStart(std::string_view value, std::size_t chars);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_STREET_H_
