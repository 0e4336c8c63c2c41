#include "engine/street.h"

#include <array>
#include <cstring>

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
  const std::string_view upper(out->data() + start, out->size() - start);
  std::array<StrWord, 16> words;
  std::size_t count = 0;
  for (std::size_t from = 0, s = upper.find("STR"); s != upper.npos;
       s = upper.find("STR", from)) {
    std::size_t end = s + 3;
    const std::string_view rest = upper.substr(end);
    const bool long_form = rest.starts_with("ASSE") || rest.starts_with("A\xC3\x9F" "E");
    if (long_form) end += 4;
    std::size_t begin = s;
    for (std::size_t blanks = long_form ? 2 : 1; blanks > 0 && begin > from && upper[begin - 1] == ' ';
         --blanks) {
      --begin;
    }
    if ((long_form && end < upper.size() && upper[end] == 'A') || count == words.size()) {
      out->replace(start, out->npos, ShortenLiterally(upper));
      return;
    }
    words[count++] = {begin, end};
    from = end;
  }
  if (count == 0) return;
  char* text = out->data() + start;
  std::size_t to = words[0].begin;
  for (std::size_t k = 0; k < count; ++k) {
    std::memcpy(text + to, "STR", 3);
    to += 3;
    const std::size_t next = k + 1 < count ? words[k + 1].begin : upper.size();
    std::memmove(text + to, text + words[k].end, next - words[k].end);
    to += next - words[k].end;
  }
  out->resize(start + to);
}

}  // namespace

void AppendNormalizedStreet(std::string_view value, std::string* out) {
  const std::size_t start = out->size();
  text::AppendUpper(value, out);
  ShortenStreetWords(start, out);
}

}  // namespace engine

std::string NormalizeStreet(std::string_view value) {
  std::string street;
  engine::AppendNormalizedStreet(value, &street);
  return street;
}

}  // namespace korvix
