#include "dedupe/core/printable.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "base/text.h"

namespace korvix::dedupe {

namespace {

// The length of the leading run of `bytes` made of printable ASCII (0x20
// to 0x7E), eight bytes a step: most of a record.
std::size_t PrintableAscii(std::string_view bytes) {
  constexpr std::uint64_t kOnes = 0x0101010101010101, kHigh = 0x8080808080808080;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t x;
    std::memcpy(&x, bytes.data() + i, 8);
    // A high bit set where a byte is 0x80 or more, below 0x20, or 0x7F.
    const std::uint64_t del = x ^ (0x7F * kOnes);
    if (((x | ((x - 0x20 * kOnes) & ~x) | ((del - kOnes) & ~del)) & kHigh) != 0) break;
  }
  while (i < bytes.size() && bytes[i] >= 0x20 && bytes[i] < 0x7F) ++i;
  return i;
}

// True iff `bytes` is UTF-8 with every character below U+0300: ASCII bytes
// and two-byte sequences with a lead byte from C2 to CB.
bool PlainUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = PrintableAscii(bytes); i < n; ++i) {
    const unsigned char b = p[i];
    if (b < 0x80) continue;
    if (b < 0xC2 || b > 0xCB || i + 1 == n || (p[i + 1] & 0xC0) != 0x80) return false;
    ++i;
  }
  return true;
}

// True iff `utf8` (valid UTF-8) holds a control character: a byte below
// 0x20, DEL, or a C1 control (C2 80 to C2 9F).
bool HasControl(std::string_view utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  for (std::size_t i = PrintableAscii(utf8); i < utf8.size(); ++i) {
    if (p[i] < 0x20 || p[i] == 0x7F || (p[i] == 0xC2 && i + 1 < utf8.size() && p[i + 1] < 0xA0)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsPrintableAsIs(std::string_view bytes) { return PlainUtf8(bytes); }

void AppendPrintable(std::string_view bytes, std::string* out) {
  if (PlainUtf8(bytes)) {
    out->append(bytes);
  } else {
    text::AppendNormalized(bytes, out);
  }
}

void AppendReadable(std::string_view bytes, std::string* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string decoded;
  const bool plain = PlainUtf8(bytes);
  if (!plain) text::AppendNormalized(bytes, &decoded);
  const std::string_view text = plain ? bytes : std::string_view(decoded);
  if (!HasControl(text)) {
    out->append(text);
    return;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = p[i];
    const bool c1 = c == 0xC2 && i + 1 < text.size() && p[i + 1] < 0xA0;
    if (c1) c = p[++i];
    if (c == '\t') {
      out->append("\\t");
    } else if (c < 0x20 || c == 0x7F || c1) {
      out->append("\\x");
      out->push_back(kHex[c >> 4]);
      out->push_back(kHex[c & 0xF]);
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
}

void AppendNumber(std::uint64_t n, std::string* out) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out->append(digits, static_cast<std::size_t>(end - digits));
}

void AppendScore(double score, std::string* out) {
  // A score that a float holds, between 0 and 1, times 1000 is exact in a
  // double, so it is rounded here as to_chars rounds it, half to even,
  // without the cost of to_chars, which a report pays for every record.
  if (score >= 0 && score <= 1 && static_cast<double>(static_cast<float>(score)) == score) {
    const double thousandths = score * 1000;
    auto n = static_cast<unsigned>(thousandths);
    const double rest = thousandths - n;
    if (rest > 0.5 || (rest == 0.5 && n % 2 == 1)) ++n;
    const char text[5] = {static_cast<char>('0' + n / 1000), '.', static_cast<char>('0' + n / 100 % 10),
                          static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
    out->append(text, 5);
    return;
  }
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, score, std::chars_format::fixed, 3).ptr;
  out->append(digits, static_cast<std::size_t>(end - digits));
}

}  // namespace korvix::dedupe
