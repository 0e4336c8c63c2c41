#include "korvix/phonetic.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "base/text.h"
#include "engine/phonetic_code.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KORVIX_PHONETIC_SIMD 1
#include <immintrin.h>
#else
#define KORVIX_PHONETIC_SIMD 0
#endif

namespace korvix {
namespace engine {
namespace {

// Group letters of A-Z; 0 for the letters that are dropped.
constexpr std::array<char, 26> kGroup = {
    0,   'B', 'C', 'D', 0,   'F', 'G', 0,   0,   'G', 'C', 'L', 'M',  // A-M
    'M', 0,   'B', 'Q', 'R', 'C', 'D', 0,   'F', 0,   'Q', 0,   'Q'}; // N-Z

constexpr char GroupOf(char32_t letter) { return kGroup[letter - U'A']; }
constexpr bool IsLetter(char32_t c) { return c >= U'A' && c <= U'Z'; }

// The code of one word of capitals A-Z; for the words that "&" and the
// digits stand for, which come in after the consonant replacements.
struct WordCode {
  std::array<char, 8> letters{};
  std::size_t size = 0;
  constexpr std::string_view view() const { return {letters.data(), size}; }
};
constexpr WordCode CodeOfWord(std::string_view word) {
  WordCode code;
  char last = 0;
  for (char c : word) {
    if (GroupOf(c) == 0 || c == last) continue;
    last = c;
    code.letters[code.size++] = GroupOf(c);
  }
  return code;
}
constexpr WordCode kAnd = CodeOfWord("UND");
constexpr std::array<WordCode, 10> kDigits = {
    CodeOfWord("NULL"), CodeOfWord("EINS"), CodeOfWord("ZWEI"),  CodeOfWord("DREI"),
    CodeOfWord("VIER"), CodeOfWord("FUENF"), CodeOfWord("SECHS"), CodeOfWord("SIEBEN"),
    CodeOfWord("ACHT"), CodeOfWord("NEUN")};
static_assert(kDigits[6].view() == "CCC" && kAnd.view() == "MD");

// What a byte does in the code, given the class of the byte after it (see
// kNextClass), packed in one word. Almost every byte is decided by the two
// alone: a letter that codes (after upper-casing and the replacements), a
// byte that is dropped (vowels, H, W, Y, punctuation, controls, a C before
// K, a D before T, and every byte of U+0080-U+00FF but ß), or a blank, which
// ends a word. The rest (a C before C, "&", digits, the first byte of a
// character beyond U+00FF) are rare enough to take a branch.
//   bits 0-7    the upper-case letter kept, or 0
//   bits 8-15   its group letter
//   bits 16-24  the mask the last letter kept is ANDed with before bits 0-7
//               are ORed in: 0x1FF keeps it (a dropped byte), 0x100 leaves
//               the letter of this byte, 0 nothing (a blank ends the word).
//               The group letter is written when bit 24 is set and the
//               letter kept changes.
//   bit 31      special
using ByteRule = std::uint32_t;
constexpr ByteRule kDropped = 0x1FFu << 16;
constexpr ByteRule kBlankRule = 0;
constexpr ByteRule kSpecial = 1u << 31;
constexpr ByteRule Coding(char letter) {
  return static_cast<unsigned char>(letter) | static_cast<ByteRule>(GroupOf(letter)) << 8 | 1u << 24;
}

// What the byte after a C, D or C3 (the first byte of U+00C0-U+00FF) can be
// to them. Only ASCII bytes are C, H, K or T after upper-casing (the two
// characters beyond ASCII whose capital is in A-Z are ı and ſ).
enum NextClass { kOther, kNextH, kNextK, kNextC, kNextT, kNext9F, kNextClasses };
constexpr std::array<unsigned char, 256> kNextClass = [] {
  std::array<unsigned char, 256> classes{};
  for (const auto& [c, cls] : {std::pair{'H', kNextH}, {'K', kNextK}, {'C', kNextC}, {'T', kNextT}}) {
    classes[static_cast<unsigned char>(c)] = cls;
    classes[static_cast<unsigned char>(c + 0x20)] = cls;
  }
  classes[0x9F] = kNext9F;
  return classes;
}();

constexpr std::array<std::array<ByteRule, 256>, kNextClasses> kRules = [] {
  std::array<std::array<ByteRule, 256>, kNextClasses> rules{};
  for (int next = 0; next < kNextClasses; ++next) {
    std::array<ByteRule, 256>& r = rules[next];
    for (ByteRule& rule : r) rule = kDropped;
    for (char c = 'A'; c <= 'Z'; ++c) {
      ByteRule rule = GroupOf(c) != 0 ? Coding(c) : kDropped;
      if (c == 'C') {
        // CH becomes K; C before K goes; before C it depends on the byte after.
        rule = next == kNextH ? Coding('K') : next == kNextK ? kDropped
               : next == kNextC ? kSpecial : Coding('C');
      } else if (c == 'D' && next == kNextT) {
        rule = kDropped;
      }
      r[static_cast<unsigned char>(c)] = rule;
      r[static_cast<unsigned char>(c + 0x20)] = rule;
    }
    r[' '] = kBlankRule;
    r['&'] = kSpecial;
    for (char c = '0'; c <= '9'; ++c) r[static_cast<unsigned char>(c)] = kSpecial;
    // C3 9F is ß. C0-C3 reach no further than U+00FF, and every byte that is
    // not UTF-8 reads as Windows-1252 below U+0100 or in its 0x80-0x9F block:
    // none of these upper-cases into A-Z.
    if (next == kNext9F) r[0xC3] = Coding('S');
    for (int b = 0xC4; b <= 0xF4; ++b) r[b] = kSpecial;
  }
  return rules;
}();

// kRules by the two bytes themselves, so that one 16-bit load of a byte and
// the byte after it finds the rule: byte | next << 8 on a little-endian
// machine, which every other one builds the same way.
constexpr std::array<ByteRule, 65536> kPairRules = [] {
  std::array<ByteRule, 65536> rules{};
  for (int next = 0; next < 256; ++next) {
    for (int b = 0; b < 256; ++b) rules[next << 8 | b] = kRules[kNextClass[next]][b];
  }
  return rules;
}();

// The rule of bytes[i] followed by bytes[i + 1].
ByteRule RuleAt(const unsigned char* bytes) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint16_t pair;
    std::memcpy(&pair, bytes, 2);
    return kPairRules[pair];
  } else {
    return kPairRules[bytes[1] << 8 | bytes[0]];
  }
}

// The upper-cased character at bytes[i]; U+0000 past the end.
char32_t UpperAt(std::string_view bytes, std::size_t i) {
  if (i >= bytes.size()) return 0;
  const auto b = static_cast<unsigned char>(bytes[i]);
  if (b < 0x80) return b >= 'a' && b <= 'z' ? char32_t(b - 0x20) : char32_t(b);
  return text::Upper(text::DecodeCharacter(bytes, i).code);
}

// The code of text one byte at a time. When kCheckNfc, a character that is
// NfcSensitive stops it: the text must be normalised first; without, the
// text is taken as it stands.
//
// The documented steps run on the whole text one after the other; here one
// pass decides each character by what follows it:
//  - "CH" becomes K; a C before K, or before a CH that becomes K, goes
//    ("CCH" ends as K, "CCCH" as CK, since every replacement is one pass);
//  - a D before T goes; an H after T goes too, but H is dropped anyway;
//  - Ä Ö Ü become vowels, which are dropped, so they only join their
//    neighbours, like every other character outside A-Z, 0-9 and blank;
//  - ß codes as S; "&" and each digit are words with a code of their own;
//  - a blank ends a word: repeats are judged within a word only.
template <bool kCheckNfc>
struct ByteCoder {
  std::string_view bytes;
  char* to;
  std::uint32_t last = 0;  // the last letter kept in the current word

  void Keep(char letter) {
    if (static_cast<unsigned char>(letter) == last) return;
    last = static_cast<unsigned char>(letter);
    *to++ = GroupOf(static_cast<unsigned char>(letter));
  }

  // The byte at i under `rule`; returns how many bytes it took, or 0 when
  // the text must be normalised first.
  std::size_t Step(std::size_t i, ByteRule rule) {
    if (!(rule & kSpecial)) [[likely]] {
      // Without a branch: the common bytes come in no predictable order.
      const std::uint32_t now = (rule & 0xFF) | (last & (rule >> 16));
      *to = static_cast<char>(rule >> 8);  // kept only when the letter codes
      to += (now != last) & (rule >> 24);
      last = now;
      return 1;
    }
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 'C' || b == 'c') {  // before C: goes when that C starts a CH
      if (UpperAt(bytes, i + 2) != U'H') Keep('C');
      return 1;
    }
    if (b < 0x80) {  // "&" or a digit
      for (char c : b == '&' ? kAnd.view() : kDigits[b - '0'].view()) *to++ = c;
      last = 0;
      return 1;
    }
    const text::Character c = text::DecodeCharacter(bytes, i);
    if (kCheckNfc && text::NfcSensitive(c.code)) return 0;
    const char32_t u = text::Upper(c.code);
    if (u == U'ß') {
      Keep('S');
    } else if (IsLetter(u) && GroupOf(u) != 0) {
      Keep(static_cast<char>(u));  // ı or ſ; neither is a C or a D
    }
    return c.length;
  }

  // Codes the bytes from i on until at least `stop`; returns where it
  // stopped (a character may reach past `stop`), or npos when the text must
  // be normalised first.
  std::size_t Run(std::size_t i, std::size_t stop) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    while (i < stop) {
      // The last byte has nothing after it.
      const std::size_t taken = Step(i, i + 1 < n ? RuleAt(in + i) : kPairRules[in[i]]);
      if (taken == 0) return std::string_view::npos;
      i += taken;
    }
    return i;
  }
};

#if KORVIX_PHONETIC_SIMD
// Sixteen bytes at a time. Every rule of the common bytes looks at most two
// bytes ahead, so each byte's part is decided from the chunk and the same
// chunk shifted by one and two; only the letter kept crosses from byte to
// byte, and a prefix scan carries it. A byte that takes a branch in
// ByteCoder (a digit, "&", the first byte of a character beyond U+00FF) is
// left to it, and the chunks go on after it.
#define KORVIX_SIMD_TARGET __attribute__((target("ssse3,sse4.1,popcnt")))

// For each mask of eight bytes, the shuffle that packs the marked ones.
constexpr std::array<std::uint64_t, 256> kPack = [] {
  std::array<std::uint64_t, 256> pack{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    std::uint64_t shuffle = 0x8080808080808080u;  // 0x80: a zero byte
    int out = 0;
    for (unsigned k = 0; k < 8; ++k) {
      if (!(mask >> k & 1)) continue;
      shuffle &= ~(std::uint64_t{0xFF} << (8 * out));
      shuffle |= std::uint64_t{k} << (8 * out++);
    }
    pack[mask] = shuffle;
  }
  return pack;
}();

// For k bytes packed in the first half of sixteen, the shuffle that moves
// the second half down to follow them.
struct alignas(16) Shuffle : std::array<unsigned char, 16> {};
constexpr std::array<Shuffle, 9> kCloseGap = [] {
  std::array<Shuffle, 9> close{};
  for (unsigned k = 0; k <= 8; ++k) {
    for (unsigned i = 0; i < 16; ++i) close[k][i] = static_cast<unsigned char>(i < k ? i : i - k + 8 < 16 ? i - k + 8 : 0x80);
  }
  return close;
}();

// Bytes of v in [lo, hi], as 0xFF.
KORVIX_SIMD_TARGET inline __m128i InRange(__m128i v, char lo, char hi) {
  const __m128i from_lo = _mm_sub_epi8(v, _mm_set1_epi8(lo));
  return _mm_cmpeq_epi8(_mm_min_epu8(from_lo, _mm_set1_epi8(static_cast<char>(hi - lo))), from_lo);
}

// 0xFF in the first `bytes` bytes (-16 to 32), 0 after.
KORVIX_SIMD_TARGET inline __m128i FirstBytes(int bytes) {
  const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  return _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(bytes)), index);
}

KORVIX_SIMD_TARGET inline __m128i Is(__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }

// Codes up to sixteen bytes at p, `left` of them left in the text, after
// the letter `*last`: up to the first byte that needs ByteCoder. Returns
// how many it coded, 16 when none needs it (even past the end, whose bytes
// read as 0, which is dropped). Writes up to 16 bytes past the code.
KORVIX_SIMD_TARGET __attribute__((always_inline)) inline std::size_t CodeChunk(const unsigned char* p, std::size_t left, char** to, std::uint32_t* last) {
  __m128i cur, rest;  // bytes i to i + 15, and the sixteen after them
  constexpr std::size_t kReach = 32;
#if defined(__SANITIZE_ADDRESS__)
  constexpr bool kMayOverread = false;
#elif defined(__has_feature)
  constexpr bool kMayOverread = !__has_feature(address_sanitizer) && !__has_feature(memory_sanitizer);
#else
  constexpr bool kMayOverread = true;
#endif
  if (kMayOverread && (reinterpret_cast<std::uintptr_t>(p) & 4095) <= 4096 - kReach) {
    // Reading past the text but within its page cannot fault; what lies
    // past it is masked off. No branch on the length: it varies by name.
    const int bytes = static_cast<int>(std::min(left, kReach));
    cur = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), FirstBytes(bytes));
    rest = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), FirstBytes(bytes - 16));
  } else if (left >= kReach) {
    cur = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    rest = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  } else {
    alignas(16) unsigned char copy[kReach] = {};
    std::memcpy(copy, p, left);
    cur = _mm_load_si128(reinterpret_cast<const __m128i*>(copy));
    rest = _mm_load_si128(reinterpret_cast<const __m128i*>(copy + 16));
  }
  const __m128i next = _mm_alignr_epi8(rest, cur, 1);   // bytes i + 1
  const __m128i after = _mm_alignr_epi8(rest, cur, 2);  // bytes i + 2
  const __m128i special = _mm_or_si128(_mm_or_si128(InRange(cur, '0', '9'), Is(cur, '&')),
                                       InRange(cur, static_cast<char>(0xC4), static_cast<char>(0xF4)));
  // Coded here: the bytes up to the first that needs ByteCoder (which lies
  // before the end), or all sixteen. A branch, so that the next chunk need
  // not wait for this one's bytes.
  const auto stops = static_cast<unsigned>(_mm_movemask_epi8(special));
  std::size_t done = 16;
  __m128i here = _mm_set1_epi8(-1);
  if (stops != 0) [[unlikely]] {
    done = static_cast<std::size_t>(std::countr_zero(stops));
    here = FirstBytes(static_cast<int>(done));
  }

  const __m128i ones = _mm_set1_epi8(-1);
  // Letters are told apart in lower case (b | 0x20 is 'h' for H and h only,
  // and so on), and so is the letter kept: *last | 0x20, a blank for none.
  const __m128i case_bit = _mm_set1_epi8(0x20);
  const __m128i low = _mm_or_si128(cur, case_bit);
  // The group letter by the low four bits, of A-O and of P-Z (bit 4 set) by
  // a shuffle each; 0 for the rest.
  const __m128i groups_a = _mm_setr_epi8(0, 0, 'B', 'C', 'D', 0, 'F', 'G', 0, 0, 'G', 'C', 'L', 'M', 'M', 0);
  const __m128i groups_p = _mm_setr_epi8('B', 'Q', 'R', 'C', 'D', 0, 'F', 0, 'Q', 0, 'Q', 0, 0, 0, 0, 0);
  const __m128i bit4 = _mm_set1_epi8(0x10);
  __m128i group = _mm_blendv_epi8(_mm_shuffle_epi8(groups_a, cur), _mm_shuffle_epi8(groups_p, cur),
                                  Is(_mm_and_si128(cur, bit4), 0x10));
  group = _mm_and_si128(group, InRange(low, 'a', 'z'));

  // The look-ahead rules.
  const __m128i next_low = _mm_or_si128(next, case_bit);
  const __m128i is_c = Is(low, 'c');
  const __m128i ch = _mm_and_si128(is_c, Is(next_low, 'h'));
  const __m128i cch = _mm_and_si128(Is(next_low, 'c'), Is(_mm_or_si128(after, case_bit), 'h'));
  const __m128i gone = _mm_or_si128(_mm_and_si128(is_c, _mm_or_si128(Is(next_low, 'k'), cch)),
                                    _mm_and_si128(Is(low, 'd'), Is(next_low, 't')));
  const __m128i sharp_s = _mm_and_si128(Is(cur, static_cast<char>(0xC3)), Is(next, static_cast<char>(0x9F)));
  const __m128i codes =
      _mm_and_si128(_mm_or_si128(_mm_andnot_si128(_mm_or_si128(Is(group, 0), gone), ones), sharp_s), here);
  __m128i letter = _mm_blendv_epi8(low, _mm_set1_epi8('k'), ch);
  letter = _mm_blendv_epi8(letter, _mm_set1_epi8('s'), sharp_s);
  group = _mm_blendv_epi8(group, _mm_set1_epi8(GroupOf('S')), sharp_s);

  // The letter kept before each byte: a coding byte sets it, a blank clears
  // it, any other byte (0xFF here) passes on what came before, as do the
  // bytes past `done`.
  const __m128i carry = _mm_set1_epi8(static_cast<char>(*last | 0x20));
  __m128i kept = _mm_blendv_epi8(_mm_andnot_si128(_mm_and_si128(Is(cur, ' '), here), ones), letter, codes);
  kept = _mm_blendv_epi8(kept, _mm_alignr_epi8(kept, carry, 15), Is(kept, -1));
  kept = _mm_blendv_epi8(kept, _mm_alignr_epi8(kept, carry, 14), Is(kept, -1));
  kept = _mm_blendv_epi8(kept, _mm_alignr_epi8(kept, carry, 12), Is(kept, -1));
  kept = _mm_blendv_epi8(kept, _mm_alignr_epi8(kept, carry, 8), Is(kept, -1));
  kept = _mm_blendv_epi8(kept, carry, Is(kept, -1));  // the shifts reach back 15 bytes, not 16
  const __m128i before = _mm_alignr_epi8(kept, carry, 15);
  const auto written = static_cast<unsigned>(
      _mm_movemask_epi8(_mm_andnot_si128(_mm_cmpeq_epi8(letter, before), codes)));
  *last = static_cast<std::uint32_t>(_mm_extract_epi8(kept, 15)) & ~0x20u;  // upper case; 0 for none

  // Each half packed by its table entry, then the gap between them closed:
  // one store, which the copy of the code after it reads back whole.
  const unsigned first = written & 0xFF;
  const __m128i low_half = _mm_shuffle_epi8(group, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kPack[first])));
  const __m128i high_half = _mm_shuffle_epi8(_mm_srli_si128(group, 8),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kPack[written >> 8])));
  const int in_first = _mm_popcnt_u32(first);
  const __m128i packed = _mm_shuffle_epi8(_mm_unpacklo_epi64(low_half, high_half),
                                          _mm_load_si128(reinterpret_cast<const __m128i*>(kCloseGap[in_first].data())));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(*to), packed);
  *to += _mm_popcnt_u32(written);
  return done;
}

#if defined(__SSE4_1__) && defined(__POPCNT__)
constexpr bool kSimd = true;
#else
// Decided once, for a build for any x86-64.
const bool kSimd = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1") &&
         __builtin_cpu_supports("popcnt");
}();
#endif
#else
constexpr bool kSimd = false;
#endif  // KORVIX_PHONETIC_SIMD

constexpr std::size_t Room(std::size_t bytes) { return PhoneticRoom(bytes); }

// The code of `bytes` written from `to` on; returns the end, or nullptr
// when kCheckNfc and the text must be normalised first.
template <bool kCheckNfc>
char* WriteCode(std::string_view bytes, char* to) {
  ByteCoder<kCheckNfc> coder{bytes, to};
  return coder.Run(0, bytes.size()) == std::string_view::npos ? nullptr : coder.to;
}

#if KORVIX_PHONETIC_SIMD
// WriteCode by chunks, ByteCoder taking only the bytes it must.
template <bool kCheckNfc>
KORVIX_SIMD_TARGET char* WriteCodeInChunks(std::string_view bytes, char* to) {
  ByteCoder<kCheckNfc> coder{bytes, to};
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const std::size_t done = CodeChunk(in + i, n - i, &coder.to, &coder.last);
    i += done;
    // Stopped short: a digit, "&" or a character beyond U+00FF.
    if (done < 16 && (i = coder.Run(i, i + 1)) == std::string_view::npos) return nullptr;
  }
  return coder.to;
}
#endif

template <bool kCheckNfc, bool kChunks>
char* WriteCodeFast(std::string_view bytes, char* to) {
#if KORVIX_PHONETIC_SIMD
  if (kChunks && kSimd) return WriteCodeInChunks<kCheckNfc>(bytes, to);
#endif
  return WriteCode<kCheckNfc>(bytes, to);
}

// Appends the code of `bytes`; returns false, appending nothing, when
// kCheckNfc and they must be normalised first.
template <bool kCheckNfc, bool kChunks = true>
bool AppendCode(std::string_view bytes, std::string* out) {
  char small[128];
  if (Room(bytes.size()) <= sizeof small) {
    std::memset(small, 0, 16);
    char* end = WriteCodeFast<kCheckNfc, kChunks>(bytes, small);
    if (end == nullptr) return false;
    const auto size = static_cast<std::size_t>(end - small);
    const std::size_t old = out->size();
    // A copy of a length that varies by name costs a mispredicted branch
    // in memcpy; one of fifteen, cut back after, does not.
    if (size <= 15 && out->capacity() - old >= 15) {
      out->append(small, 15);
      out->resize(old + size);
    } else {
      out->append(small, size);
    }
    return true;
  }
  const std::size_t old = out->size();
  out->resize(old + Room(bytes.size()));
  char* end = WriteCodeFast<kCheckNfc, kChunks>(bytes, out->data() + old);
  out->resize(end == nullptr ? old : static_cast<std::size_t>(end - out->data()));
  return end != nullptr;
}

}  // namespace

char* WritePhoneticCode(std::string_view text, char* to) { return WriteCodeFast<true, true>(text, to); }

char* WritePhoneticCodeAsIs(std::string_view text, char* to) { return WriteCodeFast<false, true>(text, to); }

void AppendPhoneticCodeAsIs(std::string_view text, std::string* out) {
  AppendCode<false>(text, out);
}

void AppendPhoneticCodeByteByByte(std::string_view text, std::string* out) {
  if (AppendCode<true, false>(text, out)) return;
  std::string normalized;
  text::AppendNormalized(text, &normalized);
  AppendCode<false, false>(normalized, out);
}

}  // namespace engine

void AppendPhoneticCode(std::string_view text, std::string* code) noexcept {
  if (engine::AppendCode<true>(text, code)) return;
  std::string normalized;
  text::AppendNormalized(text, &normalized);
  engine::AppendCode<false>(normalized, code);
}

std::string PhoneticCode(std::string_view text) noexcept {
  std::string code;
  AppendPhoneticCode(text, &code);
  return code;
}

std::string ReducePhonetic(std::string_view word) noexcept {
  std::string code;
  char32_t last = 0;
  bool kept = false;
  for (char32_t c : text::Decode(word)) {
    c = text::Upper(c);
    const bool letter = engine::IsLetter(c);
    if (letter && engine::GroupOf(c) == 0) continue;
    if (kept && c == last) continue;
    last = c;
    kept = true;
    text::AppendUtf8(letter ? char32_t(engine::GroupOf(c)) : c, &code);
  }
  return code;
}

}  // namespace korvix
