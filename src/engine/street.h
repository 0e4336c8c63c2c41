// The street normalisation over host bytes, appending to a buffer.
#ifndef KORVIX_ENGINE_STREET_H_
#define KORVIX_ENGINE_STREET_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace korvix::engine {

// Appends NormalizeStreet(value) to `*out`, as UTF-8.
void AppendNormalizedStreet(std::string_view value, std::string* out);

// The longest value WritePlainStreet takes.
inline constexpr std::size_t kPlainStreet = 16;

// When `value` is short ASCII without "STR" in any case, which the
// normalisation only upper-cases, writes NormalizeStreet(value) (as many
// bytes) to `to` and returns true; else returns false.
bool WritePlainStreet(std::string_view value, char* to);

// When the first `chars` characters of NormalizeStreet(value) are those of
// `value` upper-cased, ASCII and more than `chars` bytes in, writes them to
// `to` and returns true; else returns false. `value` must be trimmed. No
// street word reaches back before its "STR" but for the blanks in front of
// it, and no character after the start changes the start: it is ASCII for
// as far as a street word or a combining character could reach back.
bool WriteStreetStart(std::string_view value, std::size_t chars, char* to);

// The shortest start of `value` (trimmed, not empty) of more than `chars`
// bytes that ends in an ASCII character no street word holds (not a blank,
// S, T, R, A or E, in either case) followed by an ASCII one, or `value`
// itself. The street words never reach across that character, and nothing
// after it changes the text before it, so NormalizeStreet of the start is
// the start of NormalizeStreet(value), up to that character.
std::string_view StreetStart(std::string_view value, std::size_t chars);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_STREET_H_
