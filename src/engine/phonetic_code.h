// The phonetic code over text the engine has already read.
#ifndef KORVIX_ENGINE_PHONETIC_CODE_H_
#define KORVIX_ENGINE_PHONETIC_CODE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace korvix::engine {

// Appends the phonetic code of `text` (only ASCII capitals) to `*out`, taking
// `text` as it stands: valid UTF-8 that needs no normalisation, such as the
// finished key part of a slot, which is never normalised again.
void AppendPhoneticCodeAsIs(std::string_view text, std::string* out);

// The room the code of `bytes` bytes of text may take while it is written:
// the longest code of a byte is a digit's word, and the chunks may write up
// to 32 bytes past the end of the code.
constexpr std::size_t PhoneticRoom(std::size_t bytes) { return bytes * 3 + 32; }

// Writes the code of `text` from `to` on, into PhoneticRoom(text.size())
// bytes; returns the end of the code, or nullptr, having written nothing
// useful, when `text` must be normalised first (AppendPhoneticCode does that).
char* WritePhoneticCode(std::string_view text, char* to);

// WritePhoneticCode of text taken as it stands (see AppendPhoneticCodeAsIs);
// never nullptr.
char* WritePhoneticCodeAsIs(std::string_view text, char* to);

// AppendPhoneticCode one byte at a time, without the sixteen-byte chunks:
// the other reading of the same rules, for tests to compare.
void AppendPhoneticCodeByteByByte(std::string_view text, std::string* out);

// AppendPhoneticCode by the SSE4.1 build of the chunks, which runs only on
// processors without AVX: for tests to compare on any that has SSE4.1.
// False, appending nothing, on a processor without it.
bool AppendPhoneticCodeSse41(std::string_view text, std::string* out);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_PHONETIC_CODE_H_
