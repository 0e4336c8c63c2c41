#include "dedupe/compare/profile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <new>

#include "korvix/phonetic.h"

namespace korvix::dedupe {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80; }

// Calls fn(part) for each part of `s` between the `by`s.
template <class Fn>
void ForEachPart(std::string_view s, char by, Fn&& fn) {
  for (std::size_t begin = 0;;) {
    const std::size_t end = std::min(s.find(by, begin), s.size());
    fn(s.substr(begin, end - begin));
    if (end == s.size()) return;
    begin = end + 1;
  }
}

// Words that make a name a firm's even without a legal form, whole ...
constexpr std::string_view kFirmWords[] = {
    "APOTHEKE", "ARCHITEKTEN", "AUTOHAUS", "BANK", "BESTATTUNGEN", "BLUMENHAUS", "CAFE",
    "FAHRRADHAUS", "FAHRSCHULE", "FLIESEN", "GASTHAUS", "GASTHOF", "GEMEINDE", "GYMNASIUM",
    "HOTEL", "IMMOBILIEN", "INSTITUT", "JUWELIER", "KINDERGARTEN", "KITA", "KLINIK", "KLINIKUM",
    "KRANKENHAUS", "LANDGASTHOF", "MODEHAUS", "MOEBELHAUS", "NOTARIAT", "OPTIK", "PENSION",
    "RECHTSANWAELTE", "RECHTSANWALT", "RESTAURANT", "SAEGEWERK", "SANITAER", "SANITAETSHAUS",
    "SCHUHHAUS", "SCHULE", "SPARKASSE", "STADTWERKE", "STEINMETZ", "STIFTUNG", "TRANSPORTE",
    "UMZUEGE", "VERBAND", "VERSICHERUNG", "VERSICHERUNGEN", "WEINGUT", "ELEKTRO",
    // A firm's departments and sites in Bez2.
    "BUCHHALTUNG", "EINKAUF", "FILIALE", "GESCHAEFTSLEITUNG", "KUNDENDIENST", "LAGER",
    "MATERIALWIRTSCHAFT", "NIEDERLASSUNG", "QUALITAETSSICHERUNG", "RECHNUNGSPRUEFUNG", "STANDORT",
    "VERTRIEB", "WARENANNAHME", "ZENTRALE"};
// ... or as their end ("Bäckerei", "Zahnarztpraxis", "Solartechnik").
constexpr std::string_view kFirmEndings[] = {
    "AGENTUR", "ANLAGENBAU", "AUTOMATION", "BERATUNG", "BETRIEB", "BUERO", "CLUB", "CONSULTING",
    "ABTEILUNG", "DIENST", "EREI", "ELEKTRONIK", "ENERGIE", "GESELLSCHAFT", "HANDEL", "HANDLUNG", "HEIZUNGSBAU",
    "KANZLEI", "LOGISTIK", "MEDIEN", "METALLBAU", "MONTAGE", "PRAXIS", "SERVICE", "SOFTWARE",
    "STUDIO", "SYSTEME", "TECHNIK", "THERAPIE", "UNTERNEHMUNG", "VEREIN", "VERWALTUNG",
    "WERKSTATT", "ZENTRUM"};

bool IsFirmWord(std::string_view word) {
  if (word.size() < 4) return false;
  // By their last two letters, which tell most words apart at once.
  struct Entry {
    std::string_view text;
    bool ending;
  };
  static const auto by_end = [] {
    std::vector<std::vector<Entry>> table(1 << 10);
    const auto slot = [](std::string_view w) { return (w[w.size() - 2] & 31) << 5 | (w.back() & 31); };
    for (const std::string_view w : kFirmWords) table[slot(w)].push_back({w, false});
    for (const std::string_view e : kFirmEndings) table[slot(e)].push_back({e, true});
    return table;
  }();
  for (const Entry& e : by_end[(word[word.size() - 2] & 31) << 5 | (word.back() & 31)]) {
    if (e.ending ? word.ends_with(e.text) : word == e.text) return true;
  }
  return false;
}

// A letter read for a digit, or the digit itself; 0 for neither.
char DigitRead(char c) {
  if (IsDigit(c)) return c;
  switch (c) {
    case 'O': return '0';
    case 'I':
    case 'L': return '1';
    default: return 0;
  }
}

// True for a word that reads as (part of) a house number: digits, perhaps
// misread ("1O", "8S"), a letter after them, a range ("89-91").
bool IsNumberWord(std::string_view w) {
  std::size_t digits = 0, letters = 0;
  for (std::size_t i = 0; i < w.size(); ++i) {
    const char c = w[i];
    if (IsDigit(c)) {
      ++digits;
    } else if (c == '-' || c == '/') {
      if (digits == 0) return false;
      letters = 0;
    } else if (IsLetter(c)) {
      if (++letters > 1) return false;
    } else {
      return false;
    }
  }
  return digits > 0 && (IsDigit(w[0]) || DigitRead(w[0]) != 0);
}

// Legal forms that mark a firm wherever they stand ("AG Nord Bau", or a
// form the normaliser did not take off for a typo in the words after it).
bool IsLegalFormWord(std::string_view w) {
  for (const std::string_view form : {"GMBH", "MBH", "UG", "KG", "OHG", "GBR", "AG", "KGAA", "EK", "EV"}) {
    if (w == form) return true;
  }
  return false;
}

// The capital letters from U+00C0 to U+017F without their accents (those
// the normaliser leaves: Ä, Ö, Ü and ß are written out before), 0 for others.
constexpr std::array<char, 0xC0> kUnaccented = [] {
  std::array<char, 0xC0> base{};
  const auto set = [&](char32_t from, std::string_view letters) {
    for (std::size_t i = 0; i < letters.size(); ++i) {
      if (letters[i] != '.') base[from + i - 0xC0] = letters[i];
    }
  };
  set(0xC0, "AAAAAAACEEEEIIIIDNOOOOO.OUUUUYT.");
  set(0x100, "AAAAAACCCCCCCCDDDDEEEEEEEEEEGGGGGGGGHHHHIIIIIIIIIIJJJJKKKLLLLLLLLLLNNNNNNNNNOOOOOO");
  set(0x152, "OORRRRRRSSSSSSSSTTTTTTUUUUUUUUUUUUWWYYYZZZZZZS");
  return base;
}();

// `text` with the letters of kUnaccented written plainly, in `*buffer`
// when it has any; else `text` itself.
std::string_view FoldAccents(std::string_view text, std::string* buffer) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  if (i == text.size()) return text;
  buffer->assign(text, 0, i);
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0xC3 && lead <= 0xC5 && i + 1 < text.size()) {
      const char32_t code = (char32_t{lead} & 0x1F) << 6 | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
      if (code >= 0xC0 && code < 0x180 && kUnaccented[code - 0xC0] != 0) {
        buffer->push_back(kUnaccented[code - 0xC0]);
        i += 2;
        continue;
      }
    }
    buffer->push_back(text[i++]);
  }
  return *buffer;
}

// The hash a word is counted by: the first eight bytes are at hand, a
// longer word adds its last eight.
std::uint64_t WordHash(const ProfileText& text) {
  std::uint64_t h = text.head() * 0x9E3779B97F4A7C15ull ^ text.size();
  if (text.size() > 8) {
    std::uint64_t tail;
    std::memcpy(&tail, std::string_view(text).data() + text.size() - 8, 8);
    h ^= tail * 0xC2B2AE3D27D4EB4Full;
  }
  return (h ^ h >> 29) | 1;
}

// The hash a name is found by among those made before (ProfileMaker::Make).
std::uint64_t NameHash(std::span<const Profile::Word> name) {
  std::uint64_t h = name.size();
  for (const Profile::Word& w : name) h = (h ^ WordHash(w.text) ^ w.sound * 0xC2B2AE3D27D4EB4Full) * 0x9E3779B97F4A7C15ull;
  return h ^ h >> 31;
}

}  // namespace

void ProfileTextOf(std::string_view normal, unsigned marks, std::string* out) {
  // Through Bez2, the sixth item: the items after it are read by no
  // profile. A record of fewer items gets empty ones, so that the marks
  // always stand seventh.
  int bars = 0;
  std::size_t end = 0;
  while (bars < 6 && (end = normal.find('|', end)) != std::string_view::npos) {
    if (++bars < 6) ++end;
  }
  if (bars < 6) end = normal.size();
  out->assign(normal.data(), end);  // assign takes a view of itself
  out->append(static_cast<std::size_t>(6 - std::min(bars, 5)), '|');
  out->push_back(static_cast<char>('0' + (marks & 7)));
}

HouseNumber ParseHouseNumber(std::string_view text) {
  HouseNumber h;
  std::size_t i = 0;
  const auto number = [&](std::uint32_t* value) {
    std::size_t digits = 0;
    // A digit misread as a letter counts only beside a real digit: "1O" is
    // ten, but "5B" is five with a letter.
    while (i < text.size() && digits < 6) {
      const char d = DigitRead(text[i]);
      if (d == 0 || (!IsDigit(text[i]) && !(i + 1 < text.size() && IsDigit(text[i + 1])) &&
                     !(digits > 0 && text[i] == 'O'))) {
        break;
      }
      *value = *value * 10 + static_cast<std::uint32_t>(d - '0');
      ++digits;
      ++i;
    }
    return digits > 0;
  };
  if (!number(&h.from)) return h;
  h.known = true;
  h.to = h.from;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && IsLetter(text[i]) && (i + 1 == text.size() || !IsLetter(text[i + 1]))) {
    h.letter = text[i++];
  }
  while (i < text.size() && (text[i] == ' ' || text[i] == '-' || text[i] == '/')) ++i;
  std::uint32_t to = 0;
  if (i < text.size() && number(&to) && to > h.from) h.to = to;
  return h;
}

std::uint64_t SoundKey(std::string_view code) {
  std::uint64_t key = 0;
  if (code.size() <= 8) {
    if (!code.empty()) std::memcpy(&key, code.data(), code.size());
    return key;
  }
  key = 0xcbf29ce484222325ull;  // FNV-1a
  for (const char c : code) key = (key ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return key | std::uint64_t{1} << 63;
}

std::uint32_t Letters(std::string_view s) {
  std::uint32_t letters = 0;
  for (const char c : s) letters |= std::uint32_t{1} << (c & 31);
  return letters;
}

std::size_t ProfileMaker::memory() const {
  std::size_t bytes = 0;
  for (const auto& b : text_blocks_) bytes += b->size();
  for (const auto& b : word_blocks_) bytes += b->size() * sizeof(Profile::Word);
  return bytes;
}

void ProfileMaker::Reserve(std::size_t bytes, std::size_t words) {
  // Blocks of block_ bytes at least (see the constructor): written before
  // read, and cleared by nobody.
  if (bytes > text_left_) {
    text_left_ = std::max(bytes, block_);
    text_ = text_blocks_.emplace_back(std::make_unique<BigArray<char>>(text_left_))->begin();
    // A ProfileText keeps the address in 48 bits: a system that maps above
    // them is refused, not misread.
    if (reinterpret_cast<std::uintptr_t>(text_ + text_left_) >> 48 != 0) throw std::bad_alloc();
  }
  if (words > words_left_) {
    words_left_ = std::max(words, (block_ + sizeof(Profile::Word) - 1) / sizeof(Profile::Word));
    words_ = word_blocks_.emplace_back(std::make_unique<BigArray<Profile::Word>>(words_left_))->begin();
    words_used_.push_back(0);
  }
}

template <class Same>
void* ProfileMaker::Seen::Find(std::uint64_t hash, std::size_t size, const Same& same) const {
  if (slots_.empty()) return nullptr;
  const std::uint64_t tag = (hash & ~std::uint64_t{0xFFFF}) | size;
  for (std::size_t at = (hash >> 16) & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
    const Slot& slot = slots_[at];
    if (slot.tag == 0) return nullptr;
    if (slot.tag == tag && same(slot.at)) return slot.at;
  }
}

void ProfileMaker::Seen::Add(std::uint64_t hash, std::size_t size, void* at) {
  const auto place = [this](const Slot& slot) {
    std::size_t i = (slot.tag >> 16) & (slots_.size() - 1);
    while (slots_[i].tag != 0) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = slot;
  };
  if (2 * (used_ + 1) > slots_.size()) {
    std::vector<Slot> old(std::max<std::size_t>(1024, 2 * slots_.size()));
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.tag != 0) place(slot);
    }
  }
  place({(hash & ~std::uint64_t{0xFFFF}) | size, at});
  ++used_;
}

void ProfileMaker::Seen::Clear() {
  std::vector<Slot>().swap(slots_);
  used_ = 0;
}

std::string_view ProfileMaker::Keep(std::string_view text) {
  const auto put = [this](std::string_view s) {
    std::memcpy(text_, s.data(), s.size());
    text_ += s.size();
    text_left_ -= s.size();
  };
  if (text.empty()) return {};
  if (text.size() >= ProfileText::kLong) {  // its size before it, and never met again
    const std::size_t size = text.size();
    put(std::string_view(reinterpret_cast<const char*>(&size), sizeof size));
    const char* const kept = text_;
    put(text);
    return {kept, size};
  }
  const std::uint64_t hash = std::hash<std::string_view>()(text);
  if (void* at = texts_seen_.Find(hash, text.size(), [&](const void* at) {
        return std::memcmp(at, text.data(), text.size()) == 0;
      })) {
    return {static_cast<const char*>(at), text.size()};
  }
  char* const kept = text_;
  put(text);
  texts_seen_.Add(hash, text.size(), kept);
  return {kept, text.size()};
}

const Profile::Place* ProfileMaker::KeepPlace(std::string_view plz, std::string_view town) {
  // Equal texts were kept once: their addresses tell them, without hashing them again.
  const std::uint64_t hash = (reinterpret_cast<std::uintptr_t>(plz.data()) * 0x9E3779B97F4A7C15ull) ^
                             (reinterpret_cast<std::uintptr_t>(town.data()) * 0xC2B2AE3D27D4EB4Full);
  const std::size_t size = 1 + (plz.size() + town.size()) % 0xFFFE;
  const ProfileText kept_plz(plz), kept_town(town);
  void* seen = places_seen_.Find(hash, size, [&](const void* at) {
    const auto* place = static_cast<const Profile::Place*>(at);
    return place->plz == kept_plz && place->town == kept_town;
  });
  if (seen != nullptr) return static_cast<const Profile::Place*>(seen);
  Profile::Place* place = places_.emplace_back(std::make_unique<Profile::Place>(Profile::Place{kept_plz, kept_town})).get();
  places_seen_.Add(hash, size, place);
  return place;
}

void ProfileMaker::Finish() {
  names_seen_.Clear();
  texts_seen_.Clear();
  places_seen_.Clear();
  std::vector<Profile::Word>().swap(name_);
}

void ProfileMaker::SetShares(const NameWordCounts& counts, std::uint64_t records) {
  for (std::size_t b = 0; b < word_blocks_.size(); ++b) {
    counts.SetShares(std::span<Profile::Word>(word_blocks_[b]->begin(), words_used_[b]), records);
  }
}

Profile ProfileMaker::Make(std::string_view profile_text) {
  Profile p;
  // Accents are how a name is typed, not who it is: "Çelik" and "Celik",
  // "Kovačević" and "Kovacevic" are compared without them.
  const std::string_view text = FoldAccents(profile_text, &folded_);
  std::string_view items[7];  // PLZ, Ort, Straße, Suchbegriff, Bez1, Bez2, marks
  std::size_t n = 0;
  ForEachPart(text, '|', [&](std::string_view item) {
    if (n < 7) items[n++] = item;
  });
  const unsigned marks = items[6].size() == 1 ? static_cast<unsigned>(items[6][0] - '0') : 0;
  // The words of Bez1 and Bez2 and their sounds, each looked up as a first
  // name where a person's first name stands (Bez2, or Bez1 of two words or
  // more when Bez2 is empty); in Bez2 a compound first name ("HANSPETER")
  // is the two names it is, as "Hans-Peter" is written.
  names_.clear();
  sounds_.clear();
  bool firm = (marks & Normalizer::kLegalForm) != 0;
  const auto words_in = [](std::string_view field) {
    std::size_t words = 0;
    ForEachPart(field, ' ', [&](std::string_view w) { words += w.empty() ? 0 : 1; });
    return words;
  };
  const bool bez1_first = words_in(items[5]) == 0 && words_in(items[4]) >= 2;
  std::size_t bez1_words = 0;
  const auto add = [&](std::string_view w, FirstName first) {
    if (names_.size() == Profile::kMostWords) return;
    AppendPhoneticCode(w, &sounds_);
    names_.push_back({w, sounds_.size(), first});
  };
  for (const bool bez2 : {false, true}) {
    if (bez2) bez1_words = names_.size();
    const bool first_place = bez2 || bez1_first;
    ForEachPart(items[bez2 ? 5 : 4], ' ', [&](std::string_view w) {
      while (!w.empty() && (w.back() == ',' || w.back() == '.' || w.back() == ';')) w.remove_suffix(1);
      while (!w.empty() && (w.front() == ',' || w.front() == '.')) w.remove_prefix(1);
      if (w.empty() || w == "UND") return;
      // "z. Hd.", "Inh.": a contact or an owner named in a firm's record.
      if (w == "HD" || w == "ZHD" || w == "INH" || w == "INHABER") {
        firm = true;
        if (!names_.empty() && names_.back().text == "Z") names_.pop_back();
        return;
      }
      if (w == "JUN" || w == "JUNIOR" || w == "JR") {
        p.junior = true;
        return;
      }
      if (w == "SEN" || w == "SENIOR" || w == "SR") {
        p.senior = true;
        return;
      }
      firm = firm || IsFirmWord(w) || IsLegalFormWord(w);
      const FirstName known = first_place && w.size() > 1 ? LookupFirstName(w) : FirstName{};
      std::string_view first, second;
      // The shortest compounds have seven letters ("JANERIK").
      if (bez2 && !known.known() && w.size() >= 7 && SplitCompoundFirstName(w, &first, &second)) {
        add(first, LookupFirstName(first));
        add(second, LookupFirstName(second));
      } else {
        add(w, known);
      }
    });
  }
  // The street's words joined, the house number from the last words that
  // read as one ("12", "12A", "89-91", "8S"): a digit inside the name
  // ("Krumme 5tr 7") is no number.
  street_.clear();
  std::size_t number_at = std::string::npos;
  ForEachPart(items[2], ' ', [&](std::string_view w) {
    if (w.empty()) return;
    if (!IsNumberWord(w) && !(number_at != std::string::npos && w.size() == 1 && IsLetter(w[0]))) {
      number_at = std::string::npos;
    } else if (number_at == std::string::npos) {
      number_at = street_.size();
    } else {
      street_.push_back(' ');  // "89 91": the parts of a number stay apart
    }
    street_.append(w);
  });
  if (number_at == std::string::npos) number_at = street_.size();
  // The street word is in most names: it should not make them alike.
  std::size_t street = number_at;
  for (std::size_t at; (at = std::string_view(street_.data(), street).find("STRASSE")) != std::string::npos;) {
    street_.replace(at, 7, "STR");
    street -= 4;
  }

  // A long text keeps its size before its bytes (ProfileText::kLong).
  const auto room = [](std::size_t size) { return size + (size >= ProfileText::kLong ? sizeof size : 0); };
  const std::size_t town_size =
      items[1].size() - static_cast<std::size_t>(std::count(items[1].begin(), items[1].end(), ' '));
  std::size_t bytes = room(items[0].size()) + room(town_size) + room(street) + room(street_.size() - street);
  // The words, their texts viewed where they are until they need keeping.
  // A firm's words are not read as first names: "Otto" in "Otto Bau" is a
  // surname, and so is "Friedrich" in Bez1 beside a first name in Bez2.
  name_.clear();
  bool given = false, long_word = false;
  for (std::size_t i = 0, sound_begin = 0; i < names_.size(); ++i) {
    const std::string_view text = names_[i].text;
    long_word = long_word || text.size() >= ProfileText::kLong;  // read only where kept
    const Profile::Word& w = name_.emplace_back(
        ProfileText(text.size() >= ProfileText::kLong ? std::string_view() : text),
        SoundKey(std::string_view(sounds_).substr(sound_begin, names_[i].sound_end - sound_begin)),
        firm || text.size() == 1 ? FirstName() : names_[i].first, i >= bez1_words);
    given = given || w.given();
    sound_begin = names_[i].sound_end;
  }
  const std::uint64_t name_hash = long_word ? 0 : NameHash(name_);
  Profile::Word* words = nullptr;
  if (!name_.empty() && !long_word) {
    words = static_cast<Profile::Word*>(names_seen_.Find(name_hash, name_.size(), [&](const void* at) {
      return std::equal(name_.begin(), name_.end(), static_cast<const Profile::Word*>(at));
    }));
  }
  if (words == nullptr) {
    for (const auto& name : names_) bytes += room(name.text.size());
  }
  Reserve(bytes, words == nullptr ? names_.size() : 0);
  const std::string_view plz = Keep(items[0]);
  town_.clear();
  ForEachPart(items[1], ' ', [&](std::string_view part) { town_.append(part); });
  p.set_place(KeepPlace(plz, Keep(town_)));
  p.street = ProfileText(Keep(std::string_view(street_).substr(0, street)));
  p.street_letters = Letters(p.street);
  p.number = ProfileText(Keep(std::string_view(street_).substr(street)));
  p.house = ParseHouseNumber(p.number);
  if (words == nullptr && !name_.empty()) {
    words = words_;
    for (std::size_t i = 0; i < name_.size(); ++i) {
      name_[i].text = ProfileText(Keep(names_[i].text));
      words_[i] = name_[i];
    }
    words_ += name_.size();
    words_left_ -= name_.size();
    words_used_.back() += name_.size();
    if (!long_word) names_seen_.Add(name_hash, name_.size(), words);
  }
  p.set_name(std::span<Profile::Word>(words, name_.size()));
  // A surname in Bez1 and a word or two in Bez2 is how a person is written
  // even when the first name is none the list knows.
  const std::size_t bez2_words = names_.size() - bez1_words;
  if (firm) {
    p.kind = CustomerKind::kOrganisation;
  } else if ((marks & Normalizer::kTitle) != 0 || (given && names_.size() >= 2) ||
             (bez1_words >= 1 && bez2_words >= 1 && bez2_words <= 2)) {
    p.kind = CustomerKind::kPerson;
  }
  return p;
}

NameWordCounts::NameWordCounts() : table_(std::size_t{1} << 16) {}

std::size_t NameWordCounts::At(std::uint64_t hash) const {
  const std::size_t mask = table_.size() - 1;
  for (std::size_t at = (hash >> 17) & mask;; at = (at + 1) & mask) {
    if (table_[at].hash == hash || table_[at].hash == 0) return at;
  }
}

void NameWordCounts::Add(std::uint64_t word, std::uint32_t count) {
  std::size_t at = At(word);
  if (table_[at].hash == 0) {
    table_[at].hash = word;
    if (++used_ * 2 > table_.size()) {  // grow: every slot anew
      std::vector<Slot> old(table_.size() * 2);
      old.swap(table_);
      for (const Slot& s : old) {
        if (s.hash != 0) table_[At(s.hash)] = s;
      }
      at = At(word);
    }
  }
  table_[at].count += count;
}

// The counts of words a few ahead are asked for before they are needed:
// they lie all over the table.
void NameWordCounts::Prefetch(const Profile::Word& w) const {
  if (!w.given()) __builtin_prefetch(&table_[(WordHash(w.text) >> 17) & (table_.size() - 1)]);
}

void NameWordCounts::Prefetch(std::span<const Profile> profiles, std::size_t i) const {
  constexpr std::size_t kAhead = 4;
  if (i + kAhead >= profiles.size()) return;
  for (const Profile::Word& w : profiles[i + kAhead].name()) Prefetch(w);
}

void NameWordCounts::Add(std::span<const Profile> profiles, std::span<const std::uint32_t> times) {
  for (std::size_t at = 0; at < profiles.size(); ++at) {
    Prefetch(profiles, at);
    const std::span<const Profile::Word> name = profiles[at].name();
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (name[i].given()) continue;
      // A word twice in one name counts once.
      bool again = false;
      for (std::size_t k = 0; k < i && !again; ++k) again = name[k].text == name[i].text;
      if (!again) Add(WordHash(name[i].text), times.empty() ? 1 : times[at]);
    }
  }
}

void NameWordCounts::SetShares(std::span<Profile> profiles, std::uint64_t records) const {
  for (std::size_t at = 0; at < profiles.size(); ++at) {
    Prefetch(profiles, at);
    SetShares(profiles[at].name(), records);
  }
}

void NameWordCounts::SetShares(std::span<Profile::Word> words, std::uint64_t records) const {
  // A name that few records carry is rare whatever the file's size.
  constexpr std::uint32_t kFew = 8;
  const auto total = static_cast<float>(records);
  for (std::size_t i = 0; i < words.size(); ++i) {
    // The words lie one after the other, their counts all over the table.
    constexpr std::size_t kAhead = 8;
    if (i + kAhead < words.size()) Prefetch(words[i + kAhead]);
    Profile::Word& w = words[i];
    if (w.given()) continue;
    const std::uint32_t count = table_[At(WordHash(w.text))].count;
    w.share = count < kFew ? 0 : static_cast<float>(count) / total;
  }
}

std::vector<std::pair<std::uint64_t, std::uint32_t>> NameWordCounts::Words() const {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> words;
  for (const Slot& s : table_) {
    if (s.hash != 0) words.emplace_back(s.hash, s.count);
  }
  return words;
}

void CountNameWords(std::span<Profile> profiles) {
  NameWordCounts counts;
  counts.Add(profiles);
  counts.SetShares(profiles, profiles.size());
}

}  // namespace korvix::dedupe
