// What the fuzz targets share: cutting an input into strings and checking
// an invariant so that libFuzzer keeps the input that breaks it.
#ifndef KORVIX_TESTS_FUZZ_FUZZ_H_
#define KORVIX_TESTS_FUZZ_FUZZ_H_

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/text.h"

// Unlike assert, stays in an optimised build.
#define FUZZ_CHECK(c) ::korvix::fuzz::Check(static_cast<bool>(c), #c, __FILE__, __LINE__)

namespace korvix::fuzz {

inline void Check(bool ok, const char* what, const char* file, int line) {
  if (ok) return;
  std::fprintf(stderr, "%s:%d: %s\n", file, line, what);
  std::abort();
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The text up to the first line break, and leaves the rest in `*text`.
inline std::string_view NextLine(std::string_view* text) {
  const std::size_t lf = text->find('\n');
  const std::string_view line = text->substr(0, lf);
  text->remove_prefix(lf == std::string_view::npos ? text->size() : lf + 1);
  return line;
}

// True iff every byte of `s` belongs to a well-formed UTF-8 sequence.
inline bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const text::Character c = text::DecodeCharacter(s, i);
    if (c.length == 1 && static_cast<unsigned char>(s[i]) >= 0x80) return false;
    i += c.length;
  }
  return true;
}

// Characters (code points) of valid UTF-8 `s`.
inline std::size_t Characters(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++n) i += text::DecodeCharacter(s, i).length;
  return n;
}

}  // namespace korvix::fuzz

#endif  // KORVIX_TESTS_FUZZ_FUZZ_H_
