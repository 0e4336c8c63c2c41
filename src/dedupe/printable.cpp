#include "dedupe/printable.h"

#include <charconv>

#include "korvix/text.h"

namespace korvix::dedupe {

namespace {

// True iff `bytes` is UTF-8 with every character below U+0300: ASCII bytes
// and two-byte sequences with a lead byte from C2 to CB.
bool PlainUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char b = p[i];
    if (b < 0x80) continue;
    if (b < 0xC2 || b > 0xCB || i + 1 == n || (p[i + 1] & 0xC0) != 0x80) return false;
    ++i;
  }
  return true;
}

}  // namespace

void AppendPrintable(std::string_view bytes, std::string* out) {
  if (PlainUtf8(bytes)) {
    out->append(bytes);
  } else {
    out->append(NormalizeText(bytes));
  }
}

void AppendNumber(std::uint64_t n, std::string* out) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out->append(digits, static_cast<std::size_t>(end - digits));
}

void AppendScore(double score, std::string* out) {
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, score, std::chars_format::fixed, 3).ptr;
  out->append(digits, static_cast<std::size_t>(end - digits));
}

}  // namespace korvix::dedupe
