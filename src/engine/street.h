// The street normalisation over host bytes, appending to a buffer.
#ifndef KORVIX_ENGINE_STREET_H_
#define KORVIX_ENGINE_STREET_H_

#include <string>
#include <string_view>

namespace korvix::engine {

// Appends NormalizeStreet(value) to `*out`, as UTF-8.
void AppendNormalizedStreet(std::string_view value, std::string* out);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_STREET_H_
