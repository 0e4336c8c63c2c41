// The phonetic code over text the engine has already decoded.
#ifndef KORVIX_ENGINE_PHONETIC_CODE_H_
#define KORVIX_ENGINE_PHONETIC_CODE_H_

#include <string>
#include <string_view>

namespace korvix::engine {

// Appends the phonetic code of `chars` to `*out` (only ASCII capitals).
// `chars` is decoded text (char32_t) or pure ASCII (char).
template <class CharT>
void AppendPhoneticCode(std::basic_string_view<CharT> chars, std::string* out);

extern template void AppendPhoneticCode(std::basic_string_view<char>, std::string*);
extern template void AppendPhoneticCode(std::basic_string_view<char32_t>, std::string*);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_PHONETIC_CODE_H_
