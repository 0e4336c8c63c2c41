// The phonetic code over text the engine has already read.
#ifndef KORVIX_ENGINE_PHONETIC_CODE_H_
#define KORVIX_ENGINE_PHONETIC_CODE_H_

#include <string>
#include <string_view>

namespace korvix::engine {

// Appends the phonetic code of `text` (only ASCII capitals) to `*out`, taking
// `text` as it stands: valid UTF-8 that needs no normalisation, such as the
// finished key part of a slot, which is never normalised again.
void AppendPhoneticCodeAsIs(std::string_view text, std::string* out);

// AppendPhoneticCode one byte at a time, without the sixteen-byte chunks:
// the other reading of the same rules, for tests to compare.
void AppendPhoneticCodeByteByByte(std::string_view text, std::string* out);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_PHONETIC_CODE_H_
