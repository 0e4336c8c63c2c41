#include "dedupe/normalize.h"

#include <algorithm>
#include <array>
#include <unordered_set>
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

// Sets `words` to the words of `value` in capitals with umlauts written
// out; in a name field "&" and "+" are words of their own, UND.
void FoldedWords(std::string_view value, bool name, NormalizedWords& words) {
  words.clear();
  words.emplace_back();
  std::string* word = &words.back();
  const auto add = [&](char32_t c) {
    if (c < 0x80 && !IsBlank(c) && !(name && (c == U'&' || c == U'+'))) {
      word->push_back(static_cast<char>(c >= U'a' && c <= U'z' ? c - 0x20 : c));
    } else if (IsBlank(c)) {
      if (!word->empty()) word = &words.emplace_back();
    } else if (c < 0x80) {  // "&" or "+" in a name
      if (!word->empty()) word = &words.emplace_back();
      *word = "UND";
      word = &words.emplace_back();
    } else {
      AppendFolded(c, word);
    }
  };
  if (text::IsAscii(value)) {
    for (const char c : value) add(static_cast<unsigned char>(c));
    if (words.back().empty()) words.pop_back();
    return;
  }
  // Below U+0300 every character is its own NFC: decode in place, without
  // the copy that normalising to NFC takes.
  bool composed = true;
  for (std::size_t i = 0; i < value.size() && composed;) {
    const text::Character c = text::DecodeCharacter(value, i);
    composed = c.code < 0x300;
    i += c.length;
  }
  if (composed) {
    for (std::size_t i = 0; i < value.size();) {
      const text::Character c = text::DecodeCharacter(value, i);
      add(c.code);
      i += c.length;
    }
  } else {
    for (const char32_t c : text::Decode(value)) add(c);
  }
  if (words.back().empty()) words.pop_back();
}

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

bool IsTitle(const std::string& word, std::string* scratch) {
  if (word.size() > 20) return false;  // longer than any title
  if (word.find_first_of(".-(") == std::string::npos) {
    // Most words: no dot, so only a title written without one can match.
    static constexpr std::string_view kPlain[] = {"DR",  "PROF", "DOKTOR", "PROFESSOR", "MAG",
                                                  "MBA", "BSC",  "MSC",    "LLM",       "HERR",
                                                  "HERRN", "FRAU", "DIPL"};
    return std::find(std::begin(kPlain), std::end(kPlain), word) != std::end(kPlain);
  }
  scratch->clear();
  AppendCompact(word, scratch);
  if (scratch->starts_with("DIPL")) return true;  // Dipl.-Ing., Dipl.-Kfm., Dipl.-Kauffrau ...
  static const std::unordered_set<std::string_view> titles(kTitles.begin(), kTitles.end());
  static const std::unordered_set<std::string_view> parts(kTitleParts.begin(), kTitleParts.end());
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

// True when some legal form ends with the compact form of `word`: only then
// can the words ending a name be one.
bool EndsALegalForm(const std::string& word, std::string* scratch) {
  scratch->clear();
  AppendCompact(word, scratch);
  static const std::unordered_set<std::string_view> endings = [] {
    std::unordered_set<std::string_view> all;
    for (const std::string_view form : kLegalForms) {
      for (std::size_t i = 0; i < form.size(); ++i) all.insert(form.substr(i));
    }
    return all;
  }();
  return endings.contains(*scratch);
}

void DropLegalForms(NormalizedWords* words) {
  std::string scratch, joined;
  for (bool found = true; found && !words->empty() && EndsALegalForm(words->back(), &scratch);) {
    found = false;
    for (std::size_t k = std::min<std::size_t>(6, words->size()); k >= 1 && !found; --k) {
      joined.clear();
      for (std::size_t i = words->size() - k; i < words->size(); ++i) AppendCompact((*words)[i], &joined);
      static const std::unordered_set<std::string_view> forms(kLegalForms.begin(), kLegalForms.end());
      if (forms.contains(joined)) {
        words->resize(words->size() - k);
        found = true;
      }
    }
    // "Müller, GmbH" leaves its comma.
    while (!words->empty() && (words->back() == "," || words->back() == "UND")) words->pop_back();
    if (!words->empty() && words->back().ends_with(',')) words->back().pop_back();
  }
}

void NormalizeName(NormalizedWords* words) {
  std::string scratch;
  for (std::size_t i = 0; i < words->size();) {
    std::string& w = (*words)[i];
    if (w == "U.") w = "UND";
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
    if (IsTitle(w, &scratch)) {
      words->erase(i);
    } else {
      ++i;
    }
  }
  DropLegalForms(words);
}

void NormalizeStreetWords(NormalizedWords* words) {
  static constexpr std::pair<std::string_view, std::string_view> kOpening[] = {
      {"DR", "DOKTOR"}, {"PROF", "PROFESSOR"}, {"ST", "SANKT"}, {"BGM", "BUERGERMEISTER"}};
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
    std::size_t end = w.size();
    while (end > 0 && IsDigit(w[end - 1])) --end;
    std::size_t stem = end;
    if (stem > 0 && w[stem - 1] == '.') --stem;
    if (stem >= 3 && w.compare(stem - 3, 3, "STR") == 0) {
      const std::string number = w.substr(end);
      w.replace(stem - 3, std::string::npos, "STRASSE");
      if (!number.empty()) words->insert(i + 1, number);
      continue;
    }
    // "5 a": the letter belongs to the house number.
    if (w.size() == 1 && IsLetter(w[0]) && i > 0 && IsDigit((*words)[i - 1].back())) {
      (*words)[i - 1] += w;
      words->erase(i--);
    }
  }
}

void NormalizeTown(NormalizedWords* words) {
  static constexpr std::string_view kQualifiers[] = {"AM", "AN", "AUF", "BEI", "IM",
                                                     "IN", "OB", "UNTER", "VOR"};
  for (std::size_t i = 0; i < words->size(); ++i) {
    std::string& w = (*words)[i];
    const std::size_t cut = w.find_first_of("(/,");
    if (cut != std::string::npos) {
      w.resize(cut);
      words->resize(w.empty() ? i : i + 1);
      break;
    }
    if (i == 0) {
      if (w == "ST." || w == "ST") w = "SANKT";
      continue;
    }
    const auto letters = std::count_if(w.begin(), w.end(), IsLetter);
    if (std::find(std::begin(kQualifiers), std::end(kQualifiers), w) != std::end(kQualifiers) ||
        (w.ends_with('.') && letters <= 3)) {
      words->resize(i);
      break;
    }
  }
}

// Hyphens that join or end words become blanks; one between digits ("12-14") stays.
void AppendJoined(const NormalizedWords& words, bool keep_number_ranges, std::string* out) {
  bool blank = false;
  const std::size_t start = out->size();
  for (const std::string& w : words) {
    blank = out->size() > start;
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

}  // namespace

void Normalizer::Field(int item, std::string_view value, std::string* out) {
  NormalizedWords& words = words_;
  FoldedWords(value, IsNameItem(item), words);
  if (item == kFieldPlz) {
    std::string plz;
    for (const std::string& w : words) plz += (plz.empty() ? "" : " ") + w;
    if (plz.size() == 7 && (plz.starts_with("D-") || plz.starts_with("D ")) &&
        std::all_of(plz.begin() + 2, plz.end(), IsDigit)) {
      plz.erase(0, 2);
    }
    if (plz.size() == 4 && std::all_of(plz.begin(), plz.end(), IsDigit)) plz.insert(0, "0");
    out->append(plz);
    return;
  }
  if (item == kFieldOrt) NormalizeTown(&words);
  if (item == kFieldStrasse) NormalizeStreetWords(&words);
  if (IsNameItem(item)) NormalizeName(&words);
  if (item == kFieldKundengruppe || item > kFieldBez4) {
    for (std::size_t i = 0; i < words.size(); ++i) *out += (i == 0 ? "" : " ") + words[i];
    return;
  }
  AppendJoined(words, item == kFieldStrasse, out);
}

void Normalizer::Record(std::string_view record, std::string* out) {
  out->clear();
  int item = 1;
  for (std::size_t begin = 0;; ++item) {
    const std::size_t bar = record.find('|', begin);
    if (item >= 64 || (items_ >> item & 1) != 0) Field(item, record.substr(begin, bar - begin), out);
    if (bar == std::string_view::npos) break;
    out->push_back('|');
    begin = bar + 1;
  }
}

}  // namespace korvix::dedupe

namespace korvix {

std::string NormalizeRecord(std::string_view record) {
  std::string out;
  dedupe::Normalizer().Record(record, &out);
  return out;
}

}  // namespace korvix
