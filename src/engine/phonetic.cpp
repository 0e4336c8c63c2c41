#include "korvix/phonetic.h"

#include <array>
#include <type_traits>

#include "engine/phonetic_code.h"
#include "engine/stream_replace.h"
#include "base/text.h"

namespace korvix {
namespace engine {
namespace {

// Group letters for A-Z; 0 marks the letters that are dropped.
constexpr std::array<char, 26> kGroup = {
    0,   'B', 'C', 'D', 0,   'F', 'G', 0,   0,   'G', 'C', 'L', 'M',  // A-M
    'M', 0,   'B', 'Q', 'R', 'C', 'D', 0,   'F', 0,   'Q', 0,   'Q'}; // N-Z

bool IsLetter(char32_t c) { return c >= U'A' && c <= U'Z'; }

// What WordReducer::Push returns for a character that adds nothing.
constexpr char32_t kNothing = 0xFFFFFFFF;

// Reduces one word letter by letter. A repeat is judged against the last
// letter kept, not the character just before, so vowels between two equal
// letters do not separate them.
class WordReducer {
 public:
  // Feeds one upper-case character; returns its group letter, itself when it
  // is not a letter A-Z, or kNothing when it adds nothing.
  char32_t Push(char32_t c) {
    if (IsLetter(c) && kGroup[c - U'A'] == 0) return kNothing;
    if (has_last_ && c == last_) return kNothing;
    last_ = c;
    has_last_ = true;
    return IsLetter(c) ? char32_t(kGroup[c - U'A']) : c;
  }
  void NextWord() { has_last_ = false; }

 private:
  char32_t last_ = 0;
  bool has_last_ = false;
};

// Words that "&" and the digits stand for, each with a blank on either side.
constexpr std::array<std::u32string_view, 10> kDigitWords = {
    U" NULL ", U" EINS ", U" ZWEI ", U" DREI ", U" VIER ",
    U" FUENF ", U" SECHS ", U" SIEBEN ", U" ACHT ", U" NEUN "};

// In this order, each over the result of the one before.
constexpr StreamReplace kCh{U"CH", U"K"};
constexpr StreamReplace kCk{U"CK", U"K"};
constexpr StreamReplace kDt{U"DT", U"T"};
constexpr StreamReplace kTh{U"TH", U"T"};

}  // namespace

// One pass does the work of the documented steps: upper-casing, the four
// consonant replacements (chained, so "CCH" still ends as "K"), the umlaut and
// digit replacements, the character filter and the reduction of each word.
template <class CharT>
void AppendPhoneticCode(std::basic_string_view<CharT> chars, std::string* out) {
  WordReducer word;
  // The filter: letters go into the current word, a blank ends it, anything
  // else is dropped and so joins its neighbours.
  const auto filter = [&](char32_t c) __attribute__((always_inline)) {
    if (IsLetter(c) || (c >= U'0' && c <= U'9')) {
      if (const char32_t g = word.Push(c); g != kNothing) out->push_back(static_cast<char>(g));
    } else if (c == text::kBlank) {
      word.NextWord();
    }
  };
  const auto spell = [&](char32_t c) __attribute__((always_inline)) {
    if (IsLetter(c)) return filter(c);  // by far the most common case
    switch (c) {
      case U'Ä': filter(U'A'); break;
      case U'Ö': filter(U'O'); break;
      case U'Ü': filter(U'U'); break;
      case U'ß': filter(U'S'); break;
      case U'&':
        for (char32_t w : std::u32string_view(U" UND ")) filter(w);
        break;
      default:
        if (c >= U'0' && c <= U'9') {
          for (char32_t w : kDigitWords[c - U'0']) filter(w);
        } else {
          filter(c);
        }
    }
  };
  // The steps are chained by inlined calls: one loop over the characters.
  StreamReplace::State ch, ck, dt, th;
  const auto after_dt = [&](char32_t c) __attribute__((always_inline)) { kTh.Push(th, c, spell); };
  const auto after_ck = [&](char32_t c) __attribute__((always_inline)) { kDt.Push(dt, c, after_dt); };
  const auto after_ch = [&](char32_t c) __attribute__((always_inline)) { kCk.Push(ck, c, after_ck); };
  bool idle = true;  // no step holds back characters
  for (CharT in : chars) {
    const char32_t c = text::Upper(static_cast<std::make_unsigned_t<CharT>>(in));
    // The patterns start with C, D or T; any other character passes idle
    // steps unchanged, so it skips the chain.
    if (idle && c != U'C' && c != U'D' && c != U'T') {
      spell(c);
      continue;
    }
    kCh.Push(ch, c, after_ch);
    idle = (ch.held | ck.held | dt.held | th.held) == 0;
  }
  kCh.Finish(ch, after_ch);
  kCk.Finish(ck, after_ck);
  kDt.Finish(dt, after_dt);
  kTh.Finish(th, spell);
}

template void AppendPhoneticCode(std::basic_string_view<char>, std::string*);
template void AppendPhoneticCode(std::basic_string_view<char32_t>, std::string*);

}  // namespace engine

std::string PhoneticCode(std::string_view text) {
  std::string code;
  if (text::IsAscii(text)) {
    engine::AppendPhoneticCode(text, &code);
  } else {
    engine::AppendPhoneticCode(text::TextView(text::Decode(text)), &code);
  }
  return code;
}

std::string ReducePhonetic(std::string_view word) {
  engine::WordReducer reducer;
  std::string code;
  for (char32_t c : text::Decode(word)) {
    if (const char32_t g = reducer.Push(text::Upper(c)); g != engine::kNothing) {
      text::AppendUtf8(g, &code);
    }
  }
  return code;
}

}  // namespace korvix
