// Reading a number from text, the one rule for every number in a code or a box.
#ifndef KORVIX_ENGINE_NUMBER_H_
#define KORVIX_ENGINE_NUMBER_H_

#include <string_view>

namespace korvix::engine {

// The leading decimal number of `chars` (bytes of ASCII text, or code
// points), rounded half to even; 0 when there is none. Blanks are skipped
// wherever they stand. Saturates at the int range.
template <class CharT>
int ReadNumber(std::basic_string_view<CharT> chars);

extern template int ReadNumber(std::basic_string_view<char>);
extern template int ReadNumber(std::basic_string_view<char32_t>);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_NUMBER_H_
