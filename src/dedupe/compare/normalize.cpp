#include "dedupe/compare/normalize.h"

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <cstring>
#include <vector>

#include "base/text.h"
#include "korvix/algorithm_code.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80; }
bool IsBlank(char32_t c) { return c == U' ' || c == U'\t' || c == 0xA0 || c == U'\r' || c == U'\n'; }
bool IsNameItem(int item) { return item >= kFieldSuchbegriff && item <= kFieldBez4; }

// Appends one character in capitals, umlauts and ß written out.
void AppendFolded(char32_t c, std::string* out) {
  const char32_t u = text::Upper(c);
  switch (u) {
    case 0xC4: out->append("AE"); return;
    case 0xD6: out->append("OE"); return;
    case 0xDC: out->append("UE"); return;
    case 0xDF:
    case 0x1E9E: out->append("SS"); return;
    default: text::AppendUtf8(u, out);
  }
}

// ASCII letters in capitals, every other byte as it is.
constexpr std::array<char, 256> kAsciiUpper = [] {
  std::array<char, 256> upper{};
  for (int b = 0; b < 256; ++b) upper[b] = static_cast<char>(b >= 'a' && b <= 'z' ? b - 0x20 : b);
  return upper;
}();

// Sets `words` to the words of `value` in capitals with umlauts written
// out; in a name field "&" and "+" are words of their own, UND.
void FoldedWords(std::string_view value, bool name, NormalizedWords& words) {
  words.clear();
  std::string* word = nullptr;  // the word being read; none after a blank
  const auto splits = [name](char32_t c) { return IsBlank(c) || (name && (c == U'&' || c == U'+')); };
  const auto add = [&](char32_t c) {
    if (splits(c)) {
      if (!IsBlank(c)) words.push_back("UND");
      word = nullptr;
      return;
    }
    if (word == nullptr) word = &words.emplace_back();
    if (c < 0x80) {
      word->push_back(static_cast<char>(c >= U'a' && c <= U'z' ? c - 0x20 : c));
    } else {
      AppendFolded(c, word);
    }
  };
  // Below U+0300 every character is its own NFC: decode in place, without
  // the copy that normalising to NFC takes.
  bool composed = true;
  for (std::size_t i = text::IsAscii(value) ? value.size() : 0; i < value.size() && composed;) {
    if (static_cast<unsigned char>(value[i]) < 0x80) {
      ++i;
      continue;
    }
    const text::Character c = text::DecodeCharacter(value, i);
    composed = c.code < 0x300;
    i += c.length;
  }
  if (!composed) {
    for (const char32_t c : text::Decode(value)) add(c);
    return;
  }
  // The bytes that continue a run of ASCII in a word.
  static const auto kInRun = [] {
    std::array<std::array<bool, 256>, 2> in_run{};
    for (int b = 0; b < 0x80; ++b) {
      in_run[0][b] = !IsBlank(static_cast<char32_t>(b));
      in_run[1][b] = in_run[0][b] && b != '&' && b != '+';
    }
    return in_run;
  }();
  const std::array<bool, 256>& in_run = kInRun[name ? 1 : 0];
  for (std::size_t i = 0; i < value.size();) {
    if (!in_run[static_cast<unsigned char>(value[i])]) {
      const text::Character c = text::DecodeCharacter(value, i);
      add(c.code);
      i += c.length;
      continue;
    }
    // A run of ASCII within a word, taken at once: most text is ASCII.
    std::size_t end = i + 1;
    while (end < value.size() && in_run[static_cast<unsigned char>(value[end])]) ++end;
    if (word == nullptr) word = &words.emplace_back();
    const std::size_t at = word->size();
    word->append(value, i, end - i);
    char* const run = word->data() + at;
    for (std::size_t k = 0; k < end - i; ++k) run[k] = kAsciiUpper[static_cast<unsigned char>(run[k])];
    i = end;
  }
}

// Where the first of `chars` stands in `word`, else its size. Words are
// short: a loop beats find_first_of, which calls memchr for every byte.
// REQUIRES: `chars` lie below '@' (punctuation and digits).
std::size_t FindAnyOf(std::string_view word, std::string_view chars) {
  std::uint64_t set = 0;
  for (const char c : chars) set |= std::uint64_t{1} << c;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const auto c = static_cast<unsigned char>(word[i]);
    if (c < 64 && (set >> c & 1) != 0) return i;
  }
  return word.size();
}

// A fixed set of words. A word is compared only with those of its length,
// and by its first eight bytes as one number before any byte is compared:
// there are few words of each length, and hashing would cost more.
class WordSet {
 public:
  template <class Words>
  explicit WordSet(const Words& words) {
    for (const std::string_view w : words) {
      std::vector<Entry>& same = by_length_[std::min(w.size(), kLong)];
      if (std::ranges::find(same, w, &Entry::word) == same.end()) same.push_back({Head(w), w});
    }
  }
  bool contains(std::string_view word) const {
    const std::uint64_t head = Head(word);
    for (const Entry& e : by_length_[std::min(word.size(), kLong)]) {
      if (e.head == head && e.word.size() == word.size() &&
          (word.size() <= 8 || e.word.substr(8) == word.substr(8))) {
        return true;
      }
    }
    return false;
  }

 private:
  struct Entry {
    std::uint64_t head;
    std::string_view word;
  };
  static std::uint64_t Head(std::string_view w) {
    std::uint64_t head = 0;
    // An empty view may have no bytes at all, and memcpy takes no null.
    if (!w.empty()) std::memcpy(&head, w.data(), std::min<std::size_t>(w.size(), 8));
    return head;
  }
  static constexpr std::size_t kLong = 48;  // this long or longer share one list
  std::array<std::vector<Entry>, kLong + 1> by_length_;
};

// Appends a word without its dots and hyphens, the form in which titles and
// legal forms are recognised however they are dotted.
void AppendCompact(std::string_view word, std::string* out) {
  for (const char ch : word) {
    if (ch != '.' && ch != '-') out->push_back(ch);
  }
}

// Titles, recognised dotted or not.
constexpr std::array<std::string_view, 23> kTitles = {
    "DR",   "PROF",   "PROFDR", "DRING",  "DRMED",     "DRMEDDENT", "DRRERNAT", "DRPHIL",
    "DRJUR", "DOKTOR", "PROFESSOR", "MAG", "MBA",      "BSC",       "MSC",      "LLM",
    "(FH)", "(TU)",   "(UNI)",  "HERR",   "HERRN",     "FRAU",      "DIPL"};
// Parts of titles that are words too, recognised only with their dot.
constexpr std::array<std::string_view, 11> kTitleParts = {
    "MED.", "DENT.", "VET.", "JUR.", "PHIL.", "RER.", "NAT.", "POL.", "OEC.", "H.C.", "ING."};

// Titles as they are written without a dot.
constexpr std::string_view kPlainTitles[] = {"DR",   "PROF",  "DOKTOR", "PROFESSOR", "MAG",
                                             "MBA",  "BSC",   "MSC",    "LLM",       "HERR",
                                             "HERRN", "FRAU", "DIPL"};

bool IsPlainTitle(std::string_view word) {
  static const WordSet titles(kPlainTitles);
  return titles.contains(word);
}

bool IsTitle(const std::string& word, std::string* scratch) {
  if (word.size() > 20) return false;  // longer than any title
  if (FindAnyOf(word, ".-(") == word.size()) {
    // Most words: no dot, so only a title written without one can match.
    return IsPlainTitle(word);
  }
  scratch->clear();
  AppendCompact(word, scratch);
  if (scratch->starts_with("DIPL")) return true;  // Dipl.-Ing., Dipl.-Kfm., Dipl.-Kauffrau ...
  static const WordSet titles(kTitles);
  static const WordSet parts(kTitleParts);
  return titles.contains(*scratch) || (word.ends_with('.') && parts.contains(word));
}

// Legal forms, as Compact gives the words ending a name joined ("&" is UND).
constexpr std::array<std::string_view, 43> kLegalForms = {
    "GMBH", "MBH", "GMBHUNDCOKG", "GMBHUNDCO", "UNDCOKG", "COKG", "UNDCO", "GMBHUNDCOKGAA",
    "KG", "KGAA", "EK", "EKFM", "EKFR", "EKFRAU", "EINGETRAGENERKAUFMANN",
    "EINGETRAGENEKAUFFRAU", "AG", "AKTIENGESELLSCHAFT", "OHG", "OFFENEHANDELSGESELLSCHAFT",
    "GBR", "GESELLSCHAFTBUERGERLICHENRECHTS", "UG", "UG(HAFTUNGSBESCHRAENKT)", "UG(HB)",
    "UNTERNEHMERGESELLSCHAFT", "UNTERNEHMERGESELLSCHAFT(HAFTUNGSBESCHRAENKT)",
    "(HAFTUNGSBESCHRAENKT)", "EV", "EINGETRAGENERVEREIN", "EG", "EINGETRAGENEGENOSSENSCHAFT",
    "SE", "PARTG", "PARTGMBB", "MBB", "LTD", "INC", "GESELLSCHAFTMBH",
    "GESELLSCHAFTMITBESCHRAENKTERHAFTUNG", "KOMMANDITGESELLSCHAFT", "GMBHUNDCOOHG",
    "AGUNDCOKG"};

// False when no legal form can end with the compact form of `word`. Every
// ending of a form ends in the form's last two letters, and most names are
// told apart by theirs, without compacting and hashing the word.
bool MayEndALegalForm(std::string_view word) {
  static const auto [last_one, last_two] = [] {
    std::pair<std::bitset<256>, std::bitset<1 << 16>> last;
    for (const std::string_view form : kLegalForms) {
      last.first.set(static_cast<unsigned char>(form.back()));
      last.second.set(static_cast<unsigned char>(form[form.size() - 2]) << 8 |
                      static_cast<unsigned char>(form.back()));
    }
    return last;
  }();
  unsigned last[2] = {0, 0};  // the last two bytes of the compact form, the last first
  std::size_t found = 0;
  for (std::size_t i = word.size(); i > 0 && found < 2; --i) {
    if (word[i - 1] != '.' && word[i - 1] != '-') last[found++] = static_cast<unsigned char>(word[i - 1]);
  }
  return found > 0 && last_one[last[0]] && (found < 2 || last_two[last[1] << 8 | last[0]]);
}

// True when some legal form ends with the compact form of `word`: only then
// can the words ending a name be one.
bool EndsALegalForm(const std::string& word, std::string* scratch) {
  if (!MayEndALegalForm(word)) return false;
  scratch->clear();
  AppendCompact(word, scratch);
  static const WordSet endings = [] {
    std::vector<std::string_view> all;
    for (const std::string_view form : kLegalForms) {
      for (std::size_t i = 0; i < form.size(); ++i) all.push_back(form.substr(i));
    }
    return WordSet(all);
  }();
  return endings.contains(*scratch);
}

// Returns true when it took a form off.
bool DropLegalForms(NormalizedWords* words, std::string* scratch, std::string* joined) {
  bool dropped = false;
  for (bool found = true; found && !words->empty() && EndsALegalForm(words->back(), scratch);) {
    found = false;
    for (std::size_t k = std::min<std::size_t>(6, words->size()); k >= 1 && !found; --k) {
      joined->clear();
      for (std::size_t i = words->size() - k; i < words->size(); ++i) AppendCompact((*words)[i], joined);
      static const WordSet forms(kLegalForms);
      if (forms.contains(*joined)) {
        words->resize(words->size() - k);
        found = dropped = true;
      }
    }
    // "Müller, GmbH" leaves its comma.
    while (!words->empty() && (std::string_view(words->back()) == "," || std::string_view(words->back()) == "UND")) {
      words->pop_back();
    }
    if (!words->empty() && words->back().ends_with(',')) words->back().pop_back();
  }
  return dropped;
}

// `scratch` and `joined` are buffers for the caller to keep, so that long
// names allocate nothing. Returns the Normalizer::Mark bits of what it took off.
unsigned NormalizeName(NormalizedWords* words, std::string* scratch, std::string* joined) {
  unsigned marks = 0;
  for (std::size_t i = 0; i < words->size();) {
    std::string& w = (*words)[i];
    // "Peters u. Söhne"; but "U. Nowak" opens with an initial.
    if (std::string_view(w) == "U." && i > 0) w = "UND";
    // "Dr.Hans", "Prof.Dr.Meier": a title glued to the name.
    for (bool glued = true; glued;) {
      glued = false;
      for (const std::string_view t : {std::string_view("DR."), std::string_view("PROF.")}) {
        if (w.size() > t.size() && w.starts_with(t) && IsLetter(w[t.size()])) {
          w.erase(0, t.size());
          glued = true;
        }
      }
    }
    if (IsTitle(w, scratch)) {
      words->erase(i);
      marks |= Normalizer::kTitle;
    } else {
      ++i;
    }
  }
  if (DropLegalForms(words, scratch, joined)) marks |= Normalizer::kLegalForm;
  return marks;
}

// Abbreviations that open a street's words, and what they stand for.
constexpr std::pair<std::string_view, std::string_view> kOpening[] = {
    {"DR", "DOKTOR"}, {"PROF", "PROFESSOR"}, {"ST", "SANKT"}, {"BGM", "BUERGERMEISTER"}};

// The letters before a house number glued to a word: "HAUPTSTR" of "HAUPTSTR12".
std::string_view WithoutDigitsAtEnd(std::string_view w) {
  while (!w.empty() && IsDigit(w.back())) w.remove_suffix(1);
  return w;
}

void NormalizeStreetWords(NormalizedWords* words) {
  for (std::size_t i = 0; i < words->size(); ++i) {
    std::string& w = (*words)[i];
    for (const auto& [abbreviation, full] : kOpening) {
      const std::size_t n = abbreviation.size();
      if (w == abbreviation ||
          (w.starts_with(abbreviation) && w.size() > n && (w[n] == '.' || w[n] == '-'))) {
        w.replace(0, w.size() > n && w[n] == '.' ? n + 1 : n, full);
        break;
      }
    }
    // "Str." or "Str" ending the word, or before a glued house number.
    const std::size_t end = WithoutDigitsAtEnd(w).size();
    std::size_t stem = end;
    if (stem > 0 && w[stem - 1] == '.') --stem;
    if (stem >= 3 && w.compare(stem - 3, 3, "STR") == 0) {
      const std::string number = w.substr(end);
      w.replace(stem - 3, std::string::npos, "STRASSE");
      if (!number.empty()) words->insert(i + 1, number);
      continue;
    }
    // "89 - 91", "89/91": one range of house numbers, written 89-91.
    if ((w == "-" || w == "/") && i > 0 && i + 1 < words->size() && IsDigit((*words)[i - 1].back()) &&
        IsDigit((*words)[i + 1].front())) {
      (*words)[i - 1] += '-';
      (*words)[i - 1] += (*words)[i + 1];
      words->erase(i + 1);
      words->erase(i--);
      continue;
    }
    for (std::size_t k = 1; k + 1 < w.size(); ++k) {
      if (w[k] == '/' && IsDigit(w[k - 1]) && IsDigit(w[k + 1])) w[k] = '-';
    }
    // "5 a": the letter belongs to the house number.
    if (w.size() == 1 && IsLetter(w[0]) && i > 0 && IsDigit((*words)[i - 1].back())) {
      (*words)[i - 1] += w;
      words->erase(i--);
    }
  }
}

// Words that start the qualifier of a town: "Frankfurt am Main".
constexpr std::string_view kQualifiers[] = {"AM", "AN", "AUF", "BEI", "IM", "IN", "OB", "UNTER", "VOR"};

bool IsQualifier(std::string_view word) {
  static const WordSet qualifiers(kQualifiers);
  return qualifiers.contains(word);
}

void NormalizeTown(NormalizedWords* words) {
  for (std::size_t i = 0; i < words->size(); ++i) {
    std::string& w = (*words)[i];
    const std::size_t cut = FindAnyOf(w, "(/,");
    if (cut != w.size()) {
      w.resize(cut);
      words->resize(w.empty() ? i : i + 1);
      break;
    }
    if (i == 0) {
      if (std::string_view(w) == "ST." || std::string_view(w) == "ST") {
        w = "SANKT";
      } else if (w.size() > 3 && w.starts_with("ST.") && IsLetter(w[3])) {  // "St.Augustin"
        const std::string name = w.substr(3);  // insert may move the words
        words->insert(1, name);
        (*words)[0] = "SANKT";
      }
      continue;
    }
    const auto letters = std::count_if(w.begin(), w.end(), IsLetter);
    if (IsQualifier(w) ||
        (w.ends_with('.') && letters <= 3)) {
      words->resize(i);
      break;
    }
  }
}

void AppendWithBlanks(const NormalizedWords& words, std::string* out) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out->push_back(' ');
    out->append(words[i]);
  }
}

// Hyphens that join or end words become blanks; one between digits ("12-14") stays.
void AppendJoined(const NormalizedWords& words, bool keep_number_ranges, std::string* out) {
  bool blank = false;
  const std::size_t start = out->size();
  for (const std::string& w : words) {
    blank = out->size() > start;
    if (FindAnyOf(w, "-") == w.size()) {  // most words: taken whole
      if (w.empty()) continue;
      if (blank && out->back() != ' ') out->push_back(' ');
      out->append(w);
      continue;
    }
    for (std::size_t i = 0; i < w.size(); ++i) {
      const char c = w[i];
      const bool range = keep_number_ranges && i > 0 && i + 1 < w.size() && IsDigit(w[i - 1]) &&
                         IsDigit(w[i + 1]);
      if (c == '-' && !range) {
        blank = out->size() > start;
        continue;
      }
      if (blank && out->back() != ' ') out->push_back(' ');
      blank = false;
      out->push_back(c);
    }
  }
}

// Writes one character below U+0300 as AppendFolded appends it, at `at`;
// returns the end. It takes at most three bytes.
char* PutFolded(char32_t c, char* at) {
  const char32_t u = text::Upper(c);
  const char* pair = u == 0xC4 ? "AE" : u == 0xD6 ? "OE" : u == 0xDC ? "UE" : u == 0xDF || u == 0x1E9E ? "SS" : nullptr;
  if (pair != nullptr) {
    *at++ = pair[0];
    *at++ = pair[1];
  } else if (u < 0x80) {
    *at++ = static_cast<char>(u);
  } else if (u < 0x800) {
    *at++ = static_cast<char>(0xC0 | u >> 6);
    *at++ = static_cast<char>(0x80 | (u & 0x3F));
  } else {  // the capital of a letter below U+0300 lies in the BMP
    *at++ = static_cast<char>(0xE0 | u >> 12);
    *at++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
    *at++ = static_cast<char>(0x80 | (u & 0x3F));
  }
  return at;
}

// Digits that a scanner reads for letters, and the letters they are.
constexpr std::array<char, 256> kLetterRead = [] {
  std::array<char, 256> read{};
  read['0'] = 'O';
  read['1'] = 'L';
  read['5'] = 'S';
  read['8'] = 'B';
  return read;
}();
char LetterRead(char digit) { return kLetterRead[static_cast<unsigned char>(digit)]; }

// The place of a digit in `w` that stands for a letter: between two
// letters ("Mü1ler"), or opening a word of letters ("5traße", "8erlin");
// npos for none. A digit before one letter ("12a") is a house number.
std::size_t MisreadDigit(std::string_view w) {
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (LetterRead(w[i]) == 0) continue;
    const bool letter_after = i + 1 < w.size() && IsLetter(w[i + 1]);
    if ((i > 0 && IsLetter(w[i - 1]) && letter_after) ||
        (i == 0 && letter_after && i + 2 < w.size() && IsLetter(w[i + 2]))) {
      return i;
    }
  }
  return std::string_view::npos;
}

void ReadDigitsAsLetters(NormalizedWords* words) {
  for (std::string& w : *words) {
    for (std::size_t i; (i = MisreadDigit(w)) != std::string_view::npos;) w[i] = LetterRead(w[i]);
  }
}

// What AppendPlainField made of a field.
enum class Plain {
  kDone,       // the field is normalised
  kLegalForm,  // a name written plainly whose last word may end a legal form
  kRules,      // a rule may apply, or the text needs NFC: nothing appended
};

// Appends `value` as the rules leave a field that none of them applies to,
// which is most fields: its words in capitals, umlauts written out, one
// blank between them. A name whose last word may be (part of) a legal form
// is appended so too, for the caller to take the form off.
// What each byte is to an item: a blank, a character that some rule of the
// item looks for, the start of a character beyond ASCII, or else one that
// is written in capitals and read on.
enum ByteKind : unsigned char { kPlain, kBlank, kSpecial, kWide };
using ByteKinds = std::array<ByteKind, 256>;

const ByteKinds& ByteKindsOf(int item) {
  static const auto kinds_for = [](std::string_view special) {
    ByteKinds kinds{};
    for (int b = 0; b < 256; ++b) {
      kinds[b] = b >= 0x80 ? kWide : IsBlank(static_cast<char32_t>(b)) ? kBlank : kPlain;
    }
    for (const char c : special) kinds[static_cast<unsigned char>(c)] = kSpecial;
    return kinds;
  };
  // Digits a scanner reads for letters are rare in a town or a name, and
  // sent to the rules; a street has its house number, and is looked at
  // word by word.
  static const ByteKinds kTown = kinds_for("(/,.-0158"), kStreet = kinds_for(".-/"),
                         kName = kinds_for(".-(&+0158"), kOther = kinds_for("");
  return item == kFieldOrt ? kTown : item == kFieldStrasse ? kStreet : IsNameItem(item) ? kName : kOther;
}

// False when a rule of `item` applies to `w`, written in capitals as the
// word after `words` others.
bool IsPlainWord(int item, std::string_view w, std::size_t words) {
  if (item == kFieldOrt) return words == 0 ? w != "ST" : !IsQualifier(w);
  if (item == kFieldStrasse) {
    if (MisreadDigit(w) != std::string_view::npos) return false;
    for (const auto& opening : kOpening) {
      if (w == opening.first) return false;
    }
    return !WithoutDigitsAtEnd(w).ends_with("STR") &&
           !(w.size() == 1 && IsLetter(w[0]) && words > 0 && IsDigit(w.data()[-2]));
  }
  return !IsNameItem(item) || !IsPlainTitle(w);
}

Plain AppendPlainField(int item, std::string_view value, std::string* out) {
  const ByteKinds& kinds = ByteKindsOf(item);
  const bool name = IsNameItem(item);
  // Written through a pointer into room for the longest result, not
  // appended: an append per character costs more than all the rest. A
  // character of one byte takes at most two, one of two bytes three, and a
  // blank between words stands for a blank of the input.
  const std::size_t start = out->size();
  out->resize(start + 2 * value.size());
  char* const begin = out->data() + start;
  char* at = begin;
  const char* word = nullptr;  // where the word being written begins
  const char* last_word = nullptr;
  std::size_t words = 0;
  const auto plain_word = [&](std::string_view w) { return IsPlainWord(item, w, words); };
  const auto* const bytes = reinterpret_cast<const unsigned char*>(value.data());
  const std::size_t n = value.size();
  bool plain = true;
  for (std::size_t i = 0; i < n && plain;) {
    const ByteKind kind = kinds[bytes[i]];
    text::Character c{bytes[i], 1};
    if (kind == kSpecial) {
      plain = false;
      break;
    }
    if (kind == kWide) {
      c = text::DecodeCharacter(value, i);
      if (c.code >= 0x300) {
        plain = false;
        break;
      }
    }
    if (kind == kBlank || c.code == 0xA0) {
      i += c.length;
      if (word != nullptr) {
        plain = plain_word(std::string_view(word, static_cast<std::size_t>(at - word)));
        last_word = word;
        word = nullptr;
        ++words;
      }
      continue;
    }
    if (word == nullptr) {
      if (at > begin) *at++ = ' ';
      word = at;
    }
    if (kind == kWide) {
      at = PutFolded(c.code, at);
      i += c.length;
      continue;
    }
    // The rest of a run of plain ASCII, the bulk of most text, through
    // locals the compiler keeps in registers.
    char* to = at;
    std::size_t k = i;
    do {
      *to++ = kAsciiUpper[bytes[k++]];
    } while (k < n && kinds[bytes[k]] == kPlain);
    at = to;
    i = k;
  }
  if (plain && word != nullptr) {
    plain = plain_word(std::string_view(word, static_cast<std::size_t>(at - word)));
    last_word = word;
    ++words;
  }
  if (!plain) {
    out->resize(start);
    return Plain::kRules;
  }
  out->resize(start + static_cast<std::size_t>(at - begin));
  return name && words > 0 &&
                 MayEndALegalForm(std::string_view(last_word, static_cast<std::size_t>(at - last_word)))
             ? Plain::kLegalForm
             : Plain::kDone;
}

}  // namespace

void Normalizer::Field(int item, std::string_view value, std::string* out) {
  const std::size_t start = out->size();
  const Plain plain = AppendPlainField(item, value, out);
  if (plain == Plain::kLegalForm) {
    // No rule but the legal forms applies to these words: take the form off
    // them as they stand.
    NormalizedWords& words = words_;
    words.clear();
    const std::string_view written = std::string_view(*out).substr(start);
    for (std::size_t b = 0, e; b < written.size(); b = e + 1) {
      e = std::min(written.find(' ', b), written.size());
      words.push_back(written.substr(b, e - b));
    }
    if (DropLegalForms(&words, &scratch_, &joined_)) Mark(item, kLegalForm);
    out->resize(start);
    AppendJoined(words, false, out);
  } else if (plain == Plain::kRules) {
    NormalizedWords& words = words_;
    FoldedWords(value, IsNameItem(item), words);
    if (item >= kFieldOrt && item <= kFieldBez4) ReadDigitsAsLetters(&words);
    if (item == kFieldOrt) NormalizeTown(&words);
    if (item == kFieldStrasse) NormalizeStreetWords(&words);
    if (IsNameItem(item)) Mark(item, NormalizeName(&words, &scratch_, &joined_));
    if (item == kFieldPlz || item == kFieldKundengruppe || item > kFieldBez4) {
      AppendWithBlanks(words, out);
    } else {
      AppendJoined(words, item == kFieldStrasse, out);
    }
  }
  if (item == kFieldPlz) {
    const auto plz = [&] { return std::string_view(*out).substr(start); };
    if (plz().size() == 7 && (plz().starts_with("D-") || plz().starts_with("D ")) &&
        std::all_of(plz().begin() + 2, plz().end(), IsDigit)) {
      out->erase(start, 2);
    }
    if (plz().size() == 5 && !std::all_of(plz().begin(), plz().end(), IsDigit) &&
        std::count_if(plz().begin(), plz().end(), IsDigit) >= 3) {
      // Letters read for digits, by a scanner or a hurried typist.
      char digits[5];
      bool read = true;
      for (std::size_t i = 0; i < 5; ++i) {
        const char c = plz()[i];
        const char* const from = "OILSB";
        const char* const at = IsDigit(c) || c == '\0' ? nullptr : std::strchr(from, c);
        read = read && (IsDigit(c) || at != nullptr);
        digits[i] = at != nullptr ? "01158"[at - from] : c;
      }
      if (read) out->replace(start, 5, digits, 5);
    }
    if (plz().size() == 4 && std::all_of(plz().begin(), plz().end(), IsDigit)) out->insert(start, "0");
  }
}

void Normalizer::Record(std::string_view record, std::string* out) {
  out->clear();
  marks_ = 0;
  // Past the last item asked for (below 64), only the separators are left.
  const int last = items_ >> 63 != 0 ? 63 : std::bit_width(items_) - 1;
  int item = 1;
  for (std::size_t begin = 0;; ++item) {
    if (item > last && item < 64) {
      const std::string_view rest = record.substr(begin);
      const auto bars = static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '|'));
      if (item + bars < 64) {
        out->append(bars, '|');
        return;
      }
    }
    const std::size_t bar = std::min(record.find('|', begin), record.size());
    if (item >= 64 || (items_ >> item & 1) != 0) Field(item, record.substr(begin, bar - begin), out);
    if (bar == record.size()) break;
    out->push_back('|');
    begin = bar + 1;
  }
}

}  // namespace korvix::dedupe

namespace korvix {

std::string NormalizeRecord(std::string_view record) {
  // One per thread, so that its word buffers serve every call.
  thread_local dedupe::Normalizer normalizer;
  std::string out;
  normalizer.Record(record, &out);
  return out;
}

}  // namespace korvix
