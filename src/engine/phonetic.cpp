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

// 32 bytes 0xFF, then 32 bytes 0: sixteen from 32 - k on are k 0xFF.
struct alignas(64) Window : std::array<unsigned char, 64> {};
constexpr Window kFirstBytes = [] {
  Window window{};
  for (unsigned i = 0; i < 32; ++i) window[i] = 0xFF;
  return window;
}();

// The chunk coder built twice: for SSE4.1, and in the three-operand AVX
// encoding of the same 16-byte instructions, which needs fewer register
// copies (no AVX2 instruction); and the 32-byte one for AVX-512, which
// takes the longer texts. Which ones run is decided once, by the processor.
namespace sse41 {
#define KORVIX_CHUNK_TARGET __attribute__((target("ssse3,sse4.1,popcnt")))
#include "engine/phonetic_chunk.inc"
#undef KORVIX_CHUNK_TARGET
}  // namespace sse41

namespace avx {
#define KORVIX_CHUNK_TARGET __attribute__((target("avx,popcnt")))
#include "engine/phonetic_chunk.inc"
#undef KORVIX_CHUNK_TARGET
}  // namespace avx

namespace avx512 {
#define KORVIX_CHUNK_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi2,popcnt")))
#include "engine/phonetic_chunk_avx512.inc"
#undef KORVIX_CHUNK_TARGET
}  // namespace avx512

// kAvx512 takes the AVX chunks for up to sixteen bytes, the wide ones beyond.
enum class Chunks { kNone, kSse41, kAvx, kAvx512 };
const Chunks kChunkCoder = [] {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("popcnt")) return Chunks::kNone;
  if (__builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("avx512vbmi") &&
      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("bmi2")) {
    return Chunks::kAvx512;
  }
  if (__builtin_cpu_supports("avx")) return Chunks::kAvx;
  return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1") ? Chunks::kSse41 : Chunks::kNone;
}();
#endif  // KORVIX_PHONETIC_SIMD

constexpr std::size_t Room(std::size_t bytes) { return PhoneticRoom(bytes); }

// The code of `bytes` written from `to` on; returns the end, or nullptr
// when kCheckNfc and the text must be normalised first.
template <bool kCheckNfc>
char* WriteCode(std::string_view bytes, char* to) {
  ByteCoder<kCheckNfc> coder{bytes, to};
  return coder.Run(0, bytes.size()) == std::string_view::npos ? nullptr : coder.to;
}

// Which coder writes a code: the best the processor has, or one named for
// tests to compare.
enum class Coder { kBest, kBytes, kSse41 };

// Inlined where it is called, as a call of its own costs short names more
// than its dispatch.
template <bool kCheckNfc, Coder kCoder>
[[gnu::always_inline]] inline char* WriteCodeFast(std::string_view bytes, char* to) {
#if KORVIX_PHONETIC_SIMD
  if (kCoder == Coder::kBest && kChunkCoder == Chunks::kAvx512 && bytes.size() > 16) {
    return avx512::WriteCodeInWideChunks<kCheckNfc>(bytes, to);
  }
  if (kCoder == Coder::kBest && kChunkCoder >= Chunks::kAvx) return avx::WriteCodeInChunks<kCheckNfc>(bytes, to);
  if ((kCoder == Coder::kBest && kChunkCoder == Chunks::kSse41) || kCoder == Coder::kSse41) {
    return sse41::WriteCodeInChunks<kCheckNfc>(bytes, to);
  }
#endif
  return WriteCode<kCheckNfc>(bytes, to);
}

// AppendCode of text too long for the stack: written straight into `out`.
template <bool kCheckNfc, Coder kCoder>
[[gnu::noinline]] bool AppendLongCode(std::string_view bytes, std::string* out) {
  const std::size_t old = out->size();
  out->resize(old + Room(bytes.size()));
  char* end = WriteCodeFast<kCheckNfc, kCoder>(bytes, out->data() + old);
  out->resize(end == nullptr ? old : static_cast<std::size_t>(end - out->data()));
  return end != nullptr;
}

// Appends the code of `bytes`; returns false, appending nothing, when
// kCheckNfc and they must be normalised first.
template <bool kCheckNfc, Coder kCoder = Coder::kBest>
bool AppendCode(std::string_view bytes, std::string* out) {
  char small[256];
  if (Room(bytes.size()) > sizeof small) [[unlikely]] return AppendLongCode<kCheckNfc, kCoder>(bytes, out);
  std::memset(small, 0, 16);
  char* end = WriteCodeFast<kCheckNfc, kCoder>(bytes, small);
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

// AppendCode of text that must be normalised first; out of line, so that
// the common calls need no frame for it.
template <Coder kCoder>
[[gnu::noinline]] void AppendCodeOfNormalized(std::string_view text, std::string* out) {
  std::string normalized;
  text::AppendNormalized(text, &normalized);
  AppendCode<false, kCoder>(normalized, out);
}

// AppendCode of `text` normalised first where it must be.
template <Coder kCoder>
void AppendNormalizedCode(std::string_view text, std::string* out) {
  if (!AppendCode<true, kCoder>(text, out)) [[unlikely]] AppendCodeOfNormalized<kCoder>(text, out);
}

}  // namespace

char* WritePhoneticCode(std::string_view text, char* to) { return WriteCodeFast<true, Coder::kBest>(text, to); }

char* WritePhoneticCodeAsIs(std::string_view text, char* to) { return WriteCodeFast<false, Coder::kBest>(text, to); }

void AppendPhoneticCodeAsIs(std::string_view text, std::string* out) {
  AppendCode<false>(text, out);
}

void AppendPhoneticCodeByteByByte(std::string_view text, std::string* out) {
  AppendNormalizedCode<Coder::kBytes>(text, out);
}

bool AppendPhoneticCodeSse41(std::string_view text, std::string* out) {
#if KORVIX_PHONETIC_SIMD
  if (kChunkCoder == Chunks::kNone) return false;
  AppendNormalizedCode<Coder::kSse41>(text, out);
  return true;
#else
  return false;
#endif
}

}  // namespace engine

void AppendPhoneticCode(std::string_view text, std::string* code) noexcept {
  engine::AppendNormalizedCode<engine::Coder::kBest>(text, code);
}

std::string PhoneticCode(std::string_view text) noexcept {
  // Not through AppendPhoneticCode: an exported function is called through
  // the library's PLT.
  std::string code;
  engine::AppendNormalizedCode<engine::Coder::kBest>(text, &code);
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
