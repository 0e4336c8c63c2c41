#include "engine/street.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/text.h"
#include "korvix/key_builder.h"

namespace korvix {
namespace engine {
namespace {

// Every occurrence of `what` in `s`, searched from the left without overlap,
// replaced by "STR".
std::string ReplaceByStr(std::string_view s, std::string_view what) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t hit = s.find(what); hit != s.npos; hit = s.find(what, from)) {
    out.append(s.substr(from, hit - from)).append("STR");
    from = hit + what.size();
  }
  return out.append(s.substr(from));
}

// The five replacements one after the other, each over the whole result of
// the one before, for the rare streets where a replacement makes a new match.
std::string ShortenLiterally(std::string_view upper) {
  std::string s = ReplaceByStr(upper, " STRASSE");
  s = ReplaceByStr(s, " STRA\xC3\x9F" "E");
  s = ReplaceByStr(s, " STR");
  s = ReplaceByStr(s, "STRASSE");
  return ReplaceByStr(s, "STRA\xC3\x9F" "E");
}

// One "STR" of the text and what the replacements take around it.
struct StrWord {
  std::size_t begin;   // first byte taken: the first blank taken, else the S
  std::size_t end;     // one past the last byte taken
};

// Where "STR" starts in `upper`, in order, into `at`; returns how many, or
// at.size() + 1 when there are more than `at` holds. `upper` must be
// followed by at least 18 readable bytes that hold no letters.
template <std::size_t N>
std::size_t FindStr(std::string_view upper, std::array<std::uint32_t, N>& at) {
  std::size_t count = 0;
#if defined(__SSE2__)
  // Sixteen places at a time: S here, T one further, R two further.
  const auto* u = reinterpret_cast<const unsigned char*>(upper.data());
  const auto eq = [](const unsigned char* p, char c) {
    return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8(c));
  };
  for (std::size_t base = 0; base < upper.size(); base += 16) {
    auto hits = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_and_si128(eq(u + base, 'S'), eq(u + base + 1, 'T')), eq(u + base + 2, 'R'))));
    for (; hits != 0; hits &= hits - 1) {
      if (count == N) return N + 1;
      at[count++] = static_cast<std::uint32_t>(base + static_cast<std::size_t>(std::countr_zero(hits)));
    }
  }
#else
  for (std::size_t s = upper.find("STR"); s != upper.npos; s = upper.find("STR", s + 3)) {
    if (count == N) return N + 1;
    at[count++] = static_cast<std::uint32_t>(s);
  }
#endif
  return count;
}

// Shortens the street words of the upper-case text out[start..] in place.
//
// Every pattern holds "STR", with at most a blank before it, so each "STR"
// is decided on its own: the blank right before it goes (" STRASSE",
// " STRAßE", " STR"), and "ASSE" or "AßE" right after it goes ("STRASSE",
// "STRAßE"). A street word with two blanks before it loses both, the second
// to " STR" after " STRASSE" or " STRAßE" took the first. Only a street word
// followed by "A" could form a new match once shortened (STRASSE+ASSE); such
// text takes the literal road.
void ShortenStreetWords(std::size_t start, std::string* out) {
  const std::size_t size = out->size() - start;
  out->append(18, '\0');  // room for FindStr to read ahead
  std::array<std::uint32_t, 16> str;
  const std::size_t found = FindStr(std::string_view(out->data() + start, size), str);
  out->resize(start + size);
  if (found == 0) return;
  const std::string_view upper(out->data() + start, size);
  if (found > str.size()) {
    out->replace(start, out->npos, ShortenLiterally(upper));
    return;
  }
  std::array<StrWord, 16> words;
  for (std::size_t k = 0, from = 0; k < found; ++k) {
    const std::size_t s = str[k];
    std::size_t end = s + 3;
    const std::string_view rest = upper.substr(end);
    const bool long_form = rest.starts_with("ASSE") || rest.starts_with("A\xC3\x9F" "E");
    if (long_form) end += 4;
    if (long_form && end < size && upper[end] == 'A') {
      out->replace(start, out->npos, ShortenLiterally(upper));
      return;
    }
    std::size_t begin = s;
    for (std::size_t blanks = long_form ? 2 : 1; blanks > 0 && begin > from && upper[begin - 1] == ' ';
         --blanks) {
      --begin;
    }
    words[k] = {begin, end};
    from = end;
  }
  char* text = out->data() + start;
  std::size_t to = words[0].begin;
  for (std::size_t k = 0; k < found; ++k) {
    std::memcpy(text + to, "STR", 3);
    to += 3;
    const std::size_t next = k + 1 < found ? words[k + 1].begin : size;
    std::memmove(text + to, text + words[k].end, next - words[k].end);
    to += next - words[k].end;
  }
  out->resize(start + to);
}

}  // namespace

bool WritePlainStreet(std::string_view value, char* to) {
  if (value.size() > kPlainStreet) return false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto b = static_cast<unsigned char>(value[i]);
    if (b >= 0x80 || ((b | 0x20) == 's' && i + 2 < value.size() && (value[i + 1] | 0x20) == 't' &&
                      (value[i + 2] | 0x20) == 'r')) {
      return false;
    }
    to[i] = static_cast<char>(b >= 'a' && b <= 'z' ? b - 0x20 : b);
  }
  return true;
}

namespace {
// Whether `value` holds "STR", in any case, at byte i.
bool StrAt(std::string_view value, std::size_t i) {
  return i + 2 < value.size() && (value[i] | 0x20) == 's' && (value[i + 1] | 0x20) == 't' &&
         (value[i + 2] | 0x20) == 'r';
}
}  // namespace

bool WriteStreetStart(std::string_view value, std::size_t chars, char* to) {
  if (chars >= value.size()) return false;
  // The character after the start may combine with its last one.
  for (std::size_t i = 0; i <= chars; ++i) {
    if (static_cast<unsigned char>(value[i]) >= 0x80) return false;
  }
  for (std::size_t i = 0; i < chars; ++i) {
    const char b = value[i];
    if (b == ' ') {
      // A blank goes before "STR" and before a blank and "STR"; ſ after it
      // upper-cases to S, so what follows is looked at as ASCII only.
      for (std::size_t k = i + 1; k < value.size() && k < i + 5; ++k) {
        if (static_cast<unsigned char>(value[k]) >= 0x80) return false;
      }
      if (StrAt(value, i + 1) || (value[i + 1] == ' ' && StrAt(value, i + 2))) return false;
    } else if (i + 3 < chars && StrAt(value, i)) {
      return false;  // what follows "STR" may go
    }
    to[i] = b >= 'a' && b <= 'z' ? static_cast<char>(b - 0x20) : b;
  }
  return true;
}

void AppendNormalizedStreet(std::string_view value, std::string* out) {
  // Short ASCII without "STR", such as the start of a street that a key
  // cuts, only changes case: no call for the buffers of the general road.
  char plain[kPlainStreet];
  if (WritePlainStreet(value, plain)) {
    out->append(plain, value.size());
    return;
  }
  const std::size_t start = out->size();
  text::AppendUpper(value, out);
  ShortenStreetWords(start, out);
}

std::string_view StreetStart(std::string_view value, std::size_t chars) {
  for (std::size_t end = chars + 1; end < value.size(); ++end) {
    const auto last = static_cast<unsigned char>(value[end - 1] & ~0x20);  // upper case, if a letter
    if ((value[end - 1] | value[end]) & 0x80 || last == 0 || last == 'S' || last == 'T' || last == 'R' ||
        last == 'A' || last == 'E') {
      continue;
    }
    return value.substr(0, end);
  }
  return value;
}

}  // namespace engine

std::string NormalizeStreet(std::string_view value) noexcept {
  std::string street;
  engine::AppendNormalizedStreet(value, &street);
  return street;
}

}  // namespace korvix
