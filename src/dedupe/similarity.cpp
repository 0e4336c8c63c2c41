#include "dedupe/similarity.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "dedupe/normalize.h"
#include "korvix/dedupe.h"
#include "korvix/phonetic.h"

namespace korvix::dedupe {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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

// A score below this is that of a pair dropped, however a float rounds
// it: parts whose best cannot reach it are not compared.
double Below(double floor) { return floor - 1e-6; }

// An upper bound of JaroWinkler(a, b) that costs a pass over each: only
// characters with an equal in the other text can match, and Jaro grows
// with the matches, the transpositions aside.
double JaroWinklerBound(std::string_view a, std::uint32_t a_letters, std::string_view b,
                        std::uint32_t b_letters) {
  if (a.empty() || b.empty() || a == b) return a == b ? 1 : 0;
  a = a.substr(0, 64);
  b = b.substr(0, 64);
  std::size_t in_b = 0, in_a = 0;
  for (const char c : a) in_b += b_letters >> (c & 31) & 1;
  for (const char c : b) in_a += a_letters >> (c & 31) & 1;
  const std::size_t matches = std::min(in_a, in_b);
  if (matches == 0) return 0;
  const double m = static_cast<double>(matches);
  const double jaro = (m / static_cast<double>(a.size()) + m / static_cast<double>(b.size()) + m / m) / 3;
  std::size_t prefix = 0;
  while (prefix < 4 && prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  return jaro + static_cast<double>(prefix) * 0.1 * (1 - jaro);
}

double WordSimilarity(const Profile::Word& a, const Profile::Word& b) {
  if (a.text == b.text) return 1;
  if (a.text.size() == 1 || b.text.size() == 1) return a.text[0] == b.text[0] ? 0.9 : 0;
  const double jw = JaroWinkler(a.text, b.text);
  return !a.sound.empty() && a.sound == b.sound ? std::max(jw, 0.9) : jw;
}

// WordSimilarity(a, b), or a value below `below` when the similarity is
// certainly below it.
double WordSimilarityAbove(const Profile::Word& a, const Profile::Word& b, double below) {
  if (below > 0 && !(a.text == b.text) && a.text.size() > 1 && b.text.size() > 1) {
    double bound = JaroWinklerBound(a.text, a.letters, b.text, b.letters);
    if (!a.sound.empty() && a.sound == b.sound) bound = std::max(bound, 0.9);
    if (bound < below) return bound;
  }
  return WordSimilarity(a, b);
}

// The names' similarity, or a value below `below` when it is certainly below it.
double NameSimilarity(const Profile& a, const Profile& b, double below) {
  if (a.name.empty() && b.name.empty()) return 1;
  if (a.name.empty() || b.name.empty()) return 0.5;
  // Words are paired one to one, the most alike first; the name is as alike
  // as its least alike pair, so a first name that differs is not outweighed
  // by a long surname that agrees. A word without a partner (a first name
  // left out, "Autohaus" before "Becker") costs a tenth.
  const std::size_t na = a.name.size(), nb = b.name.size();
  // What the least pair must reach for the name to reach `below`: a pair
  // certainly below that need not be compared exactly, since were it chosen
  // the name would fail anyway, and it is never chosen over one above.
  double penalty = 1;
  for (std::size_t extra = std::max(na, nb) - std::min(na, nb); extra > 0; --extra) penalty *= 0.9;
  if (a.junior != b.junior || a.senior != b.senior) penalty /= 2;
  const double word_below = below / penalty;
  // Names have a few words; more than fit here count only with their first ones.
  constexpr std::size_t kMax = 8;
  const std::size_t ma = std::min(na, kMax), mb = std::min(nb, kMax);
  double sim[kMax][kMax];
  for (std::size_t i = 0; i < ma; ++i) {
    for (std::size_t j = 0; j < mb; ++j) sim[i][j] = WordSimilarityAbove(a.name[i], b.name[j], word_below);
  }
  bool used_a[kMax] = {}, used_b[kMax] = {};
  double least = 1;
  for (std::size_t k = 0; k < std::min(ma, mb); ++k) {
    std::size_t bi = 0, bj = 0;
    double best = -1;
    for (std::size_t i = 0; i < ma; ++i) {
      if (used_a[i]) continue;
      for (std::size_t j = 0; j < mb; ++j) {
        if (!used_b[j] && sim[i][j] > best) {
          best = sim[i][j];
          bi = i;
          bj = j;
        }
      }
    }
    used_a[bi] = used_b[bj] = true;
    least = std::min(least, best);
  }
  for (std::size_t extra = std::max(na, nb) - std::min(na, nb); extra > 0; --extra) least *= 0.9;
  if (a.junior != b.junior || a.senior != b.senior) least /= 2;
  return least;
}

std::string_view LeadingDigits(std::string_view s) {
  std::size_t n = 0;
  while (n < s.size() && IsDigit(s[n])) ++n;
  return s.substr(0, n);
}

// True when `a` and `b` differ in one character or two swapped neighbours.
bool OneTypo(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    if (a.size() + 1 != b.size() && b.size() + 1 != a.size()) return false;
    if (a.size() > b.size()) std::swap(a, b);
    std::size_t i = 0;
    while (i < a.size() && a[i] == b[i]) ++i;
    return a.substr(i) == b.substr(i + 1);
  }
  std::size_t i = 0;
  while (i < a.size() && a[i] == b[i]) ++i;
  if (i == a.size()) return true;
  if (a.substr(i + 1) == b.substr(i + 1)) return true;
  return i + 1 < a.size() && a[i] == b[i + 1] && a[i + 1] == b[i] && a.substr(i + 2) == b.substr(i + 2);
}

// The address's similarity, or a value below `below` when it is certainly
// below it: the factors that cost nothing are taken first, and when even
// the best that street and town could score leaves the pair below, neither
// is compared.
double AddressSimilarity(const Profile& a, const Profile& b, double below) {
  const bool street_known = a.street.empty() || b.street.empty() || a.street == b.street;
  const bool same_town = a.town == b.town || a.town.empty() || b.town.empty();
  double number = 0.3;
  if (a.number == b.number) {
    number = 1;
  } else if (a.number.empty() || b.number.empty()) {
    number = 0.85;
  } else if (LeadingDigits(a.number) == LeadingDigits(b.number)) {
    number = 0.9;
  }
  double plz = 0.5;
  if (a.plz == b.plz) {
    plz = 1;
  } else if (a.plz.empty() || b.plz.empty()) {
    plz = 0.9;
  } else if (OneTypo(a.plz, b.plz)) {
    plz = 0.85;
  }
  if (below > 0 && !street_known) {
    const double best = JaroWinklerBound(a.street, a.street_letters, b.street, b.street_letters) * number *
                        plz * (same_town ? 1 : 0.95);
    if (best < below) return best;
  }
  const double street = a.street.empty() || b.street.empty() ? 0.85
                        : a.street == b.street                ? 1.0
                                                              : JaroWinkler(a.street, b.street);
  double town = 0.7;
  if (same_town) {
    town = 1;
  } else if (street * number * plz * 0.95 < below) {
    return 0;
  } else if (JaroWinkler(a.town, b.town) >= 0.9) {
    town = 0.95;
  }
  return street * number * plz * town;
}

}  // namespace

void ProfileMaker::Reserve(std::size_t bytes, std::size_t words) {
  // Blocks of the size that BigArray maps on its own: written before read,
  // and cleared by nobody.
  if (bytes > text_left_) {
    text_left_ = std::max(bytes, kBigAllocation);
    text_ = text_blocks_.emplace_back(std::make_unique<BigArray<char>>(text_left_))->begin();
  }
  if (words > words_left_) {
    words_left_ = std::max(words, (kBigAllocation + sizeof(Profile::Word) - 1) / sizeof(Profile::Word));
    words_ = word_blocks_.emplace_back(std::make_unique<BigArray<Profile::Word>>(words_left_))->begin();
  }
}

Profile ProfileMaker::Make(std::string_view normalized_record) {
  Profile p;
  std::string_view items[6];  // PLZ, Ort, Straße, Suchbegriff, Bez1, Bez2
  std::size_t n = 0;
  ForEachPart(normalized_record, '|', [&](std::string_view item) {
    if (n < 6) items[n++] = item;
  });
  // The words of Bez1 and Bez2 and their sounds.
  names_.clear();
  sounds_.clear();
  for (const std::string_view field : {items[4], items[5]}) {
    ForEachPart(field, ' ', [&](std::string_view w) {
      while (!w.empty() && (w.back() == ',' || w.back() == '.' || w.back() == ';')) w.remove_suffix(1);
      while (!w.empty() && (w.front() == ',' || w.front() == '.')) w.remove_prefix(1);
      if (w.empty() || w == "UND") return;
      if (w == "JUN" || w == "JUNIOR" || w == "JR") {
        p.junior = true;
      } else if (w == "SEN" || w == "SENIOR" || w == "SR") {
        p.senior = true;
      } else {
        AppendPhoneticCode(w, &sounds_);
        names_.emplace_back(w, sounds_.size());
      }
    });
  }
  // The street's words joined, the house number from the first word that
  // starts with a digit on.
  street_.clear();
  std::size_t number_at = std::string::npos;
  ForEachPart(items[2], ' ', [&](std::string_view w) {
    if (w.empty()) return;
    if (number_at == std::string::npos && IsDigit(w.front())) number_at = street_.size();
    street_.append(w);
  });
  if (number_at == std::string::npos) number_at = street_.size();
  // The street word is in most names: it should not make them alike.
  std::size_t street = number_at;
  for (std::size_t at; (at = std::string_view(street_.data(), street).find("STRASSE")) != std::string::npos;) {
    street_.replace(at, 7, "STR");
    street -= 4;
  }

  std::size_t name_bytes = 0;
  for (const auto& name : names_) name_bytes += name.first.size();
  Reserve(items[0].size() + items[1].size() + street_.size() + name_bytes + sounds_.size(), names_.size());
  const auto keep = [&](std::string_view s) {
    if (!s.empty()) std::memcpy(text_, s.data(), s.size());
    const std::string_view kept(text_, s.size());
    text_ += s.size();
    text_left_ -= s.size();
    return kept;
  };
  p.plz = ProfileText(keep(items[0]));
  const char* const town = text_;
  ForEachPart(items[1], ' ', [&](std::string_view w) { keep(w); });
  p.town = ProfileText(std::string_view(town, static_cast<std::size_t>(text_ - town)));
  p.town_letters = Letters(p.town);
  p.street = ProfileText(keep(std::string_view(street_).substr(0, street)));
  p.street_letters = Letters(p.street);
  p.number = ProfileText(keep(std::string_view(street_).substr(street)));
  const std::string_view sounds = keep(sounds_);
  std::size_t sound_begin = 0;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::string_view text = keep(names_[i].first);
    words_[i] = {ProfileText(text), ProfileText(sounds.substr(sound_begin, names_[i].second - sound_begin)),
                 Letters(text)};
    sound_begin = names_[i].second;
  }
  p.name = std::span<const Profile::Word>(words_, names_.size());
  words_ += names_.size();
  words_left_ -= names_.size();
  return p;
}

double Score(const Profile& a, const Profile& b, double floor) {
  const double below = Below(floor);
  const double address = AddressSimilarity(a, b, below);
  // The name can only lower the score: below the floor already, it is not needed.
  if (address < floor) return address * 0.5;
  return NameSimilarity(a, b, below / address) * address;
}

std::uint32_t Letters(std::string_view s) {
  std::uint32_t letters = 0;
  for (const char c : s) letters |= std::uint32_t{1} << (c & 31);
  return letters;
}

double JaroWinkler(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return a.empty() && b.empty() ? 1 : 0;
  if (a == b) return 1;
  a = a.substr(0, 64);
  b = b.substr(0, 64);
  const std::size_t window = std::max<std::size_t>(std::max(a.size(), b.size()) / 2, 1) - 1;
  std::uint64_t a_used = 0, b_used = 0;  // bit i: character i is matched
  std::size_t matches = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::size_t to = std::min(b.size(), i + window + 1);
    for (std::size_t j = i > window ? i - window : 0; j < to; ++j) {
      if ((b_used >> j & 1) == 0 && a[i] == b[j]) {
        a_used |= std::uint64_t{1} << i;
        b_used |= std::uint64_t{1} << j;
        ++matches;
        break;
      }
    }
  }
  if (matches == 0) return 0;
  std::size_t half_transpositions = 0;
  for (std::size_t i = 0, j = 0; i < a.size(); ++i) {
    if ((a_used >> i & 1) == 0) continue;
    while ((b_used >> j & 1) == 0) ++j;
    half_transpositions += a[i] != b[j];
    ++j;
  }
  const double m = static_cast<double>(matches);
  const double jaro = (m / static_cast<double>(a.size()) + m / static_cast<double>(b.size()) +
                       (m - static_cast<double>(half_transpositions) / 2) / m) / 3;
  std::size_t prefix = 0;
  while (prefix < 4 && prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  return jaro + static_cast<double>(prefix) * 0.1 * (1 - jaro);
}

}  // namespace korvix::dedupe

namespace korvix {

double ScoreRecords(std::string_view a, std::string_view b) {
  std::string na, nb;
  dedupe::Normalizer normalizer;
  normalizer.Record(a, &na);
  normalizer.Record(b, &nb);
  dedupe::ProfileMaker maker;
  return dedupe::Score(maker.Make(na), maker.Make(nb));
}

}  // namespace korvix
