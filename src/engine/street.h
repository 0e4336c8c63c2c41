// The street normalisation over text the engine has already decoded.
#ifndef KORVIX_ENGINE_STREET_H_
#define KORVIX_ENGINE_STREET_H_

#include <string_view>

#include "base/text.h"

namespace korvix::engine {

// Appends the normalised form of `chars` (decoded text or pure ASCII) to `*out`.
template <class CharT>
void AppendNormalizedStreet(std::basic_string_view<CharT> chars, text::Text* out);

extern template void AppendNormalizedStreet(std::basic_string_view<char>, text::Text*);
extern template void AppendNormalizedStreet(std::basic_string_view<char32_t>, text::Text*);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_STREET_H_
