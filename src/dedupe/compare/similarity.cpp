#include "dedupe/compare/similarity.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace korvix::dedupe {

namespace {


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

// `s` with the characters that a scanner or a reader confuses made one: 0
// and O, 1 I and L, 5 and S, 8 and B, RN and M. Returns the length written
// to `out` (64 bytes at least).
std::size_t FoldMisreadings(std::string_view s, char* out) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size() && n < 64; ++i) {
    char c = s[i];
    switch (c) {
      case '0': c = 'O'; break;
      case '1':
      case 'L': c = 'I'; break;
      case '5': c = 'S'; break;
      case '8': c = 'B'; break;
      case 'R':
        if (i + 1 < s.size() && s[i + 1] == 'N') {
          c = 'M';
          ++i;
        }
        break;
      default: break;
    }
    out[n++] = c;
  }
  return n;
}

// The Letters bits of the characters FoldMisreadings may change.
constexpr std::uint32_t kMisreadable = [] {
  std::uint32_t bits = 0;
  for (const char c : std::string_view("0O1IL5S8BRNM")) bits |= std::uint32_t{1} << (c & 31);
  return bits;
}();

// True when `a` and `b` are one text but for characters misread. Their
// other characters must be the same, which their Letters tell at once.
bool MisreadAlike(std::string_view a, std::uint32_t a_letters, std::string_view b, std::uint32_t b_letters) {
  if ((a_letters & ~kMisreadable) != (b_letters & ~kMisreadable)) return false;
  char fa[64], fb[64];
  const std::size_t na = FoldMisreadings(a, fa), nb = FoldMisreadings(b, fb);
  return na == nb && std::memcmp(fa, fb, na) == 0;
}

// How alike two words are that are not both first names (see the header).
// Returns a value below `below` when the likeness is certainly below it.
double WordLikeness(const Profile::Word& a, const Profile::Word& b, double below) {
  if (a.text == b.text) return 1;
  const std::uint32_t a_letters = Letters(a.text), b_letters = Letters(b.text);
  const bool sound = a.sound != 0 && a.sound == b.sound;
  // Letters alike by sound, or one typo apart, are the same word misspelt;
  // beyond that a long shared part makes words look alike that are not.
  const auto near = [&] { return sound || (a.text.size() >= 4 && b.text.size() >= 4 && OneTypo(a.text, b.text)); };
  if (below > 0 && !sound) {
    // Unless alike by sound, a typo or a misreading, the likeness is
    // Jaro-Winkler squared: a bound below the root of `below` decides.
    const double bound = JaroWinklerBound(a.text, a_letters, b.text, b_letters);
    if (bound * bound < below && !near() && !MisreadAlike(a.text, a_letters, b.text, b_letters)) {
      return bound * bound;
    }
  }
  if (MisreadAlike(a.text, a_letters, b.text, b_letters)) return 0.95;
  const double jw = JaroWinkler(a.text, b.text);
  return near() ? std::max(jw, 0.9) : jw * jw;
}

// What a first name costs that only one of two records has, by the surname
// they share: the more records of the file carry it, the more people it
// may stand for. `share` 0: not counted, taken as rare.
double MissingFirstName(double share) {
  constexpr double kRare = 2e-4, kCommon = 2e-3;
  if (share <= kRare) return 0.9;
  if (share >= kCommon) return 0.82;
  return 0.9 - 0.08 * std::log10(share / kRare);
}

// Two words paired: how alike, and whether they are two known first names
// that are different names.
struct Pairing {
  double likeness;
  bool other_name;
};

Pairing PairWords(const Profile::Word& a, const Profile::Word& b, double below) {
  if (a.text == b.text) return {1, false};
  if (a.initial() || b.initial()) return {a.text[0] == b.text[0] ? 0.9 : 0, false};
  if (a.known_first_name() && b.known_first_name()) {
    const std::span<const std::uint16_t> other = b.first_names();
    for (const std::uint16_t g : a.first_names()) {
      if (std::find(other.begin(), other.end(), g) != other.end()) return {0.95, false};
    }
    // A misread letter does not make another name ("MARTlN" is read MARTLN, unknown).
    return {0, true};
  }
  return {WordLikeness(a, b, below), false};
}

// True when every word of `person` has a partner in the firm's name (Bez1)
// at 0.9 or more: the firm carries the person's whole name. An owner named
// in Bez2 ("Inh. Hans Dietz") makes no sole trader of a GmbH.
bool CarriesName(const Profile& firm, const Profile& person) {
  if (person.name().empty()) return false;
  for (const Profile::Word& w : person.name()) {
    bool found = false;
    for (const Profile::Word& f : firm.name()) {
      if (f.in_bez2()) break;
      if (w.initial() ? f.text[0] == w.text[0] : WordLikeness(w, f, 0.9) >= 0.9) {
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

// The kind part: 0 for a firm and a person who is not its sole trader.
float KindPart(const Profile& a, const Profile& b) {
  const auto org = CustomerKind::kOrganisation, person = CustomerKind::kPerson;
  if (a.kind == org && b.kind == person) return CarriesName(a, b) ? 1 : 0;
  if (a.kind == person && b.kind == org) return CarriesName(b, a) ? 1 : 0;
  return 1;
}

// The name and first-name parts (see the header) into `parts`, or, when
// their product is certainly below `below`, a product below it.
void NameParts(const Profile& a, const Profile& b, double below, Parts* parts) {
  parts->name = parts->first_name = 1;
  if (a.name().empty() && b.name().empty()) return;
  if (a.name().empty() || b.name().empty()) {
    parts->name = 0.5f;
    return;
  }
  // Generations first: they cost nothing and may decide alone.
  if ((a.junior && b.senior) || (a.senior && b.junior)) {
    parts->first_name = 0;
    if (parts->rule == Rule::kParts) parts->rule = Rule::kGenerations;
    return;
  }
  // "jun." on one side only: father and son share name and address.
  const double generation = a.junior != b.junior || a.senior != b.senior ? 0.5 : 1;
  const std::size_t na = a.name().size(), nb = b.name().size();
  // What the least pair must reach for the names to reach `below`: a pair
  // certainly below that need not be compared exactly, since were it chosen
  // the name would fail anyway, and it is never chosen over one above.
  // (Words without a partner may yet be joined to one, see below: only the
  // generation is sure to cost.)
  const double word_below = below / generation;
  // Names have a few words; more than fit here count only with their first ones.
  constexpr std::size_t kMax = 8;
  const std::size_t ma = std::min(na, kMax), mb = std::min(nb, kMax);
  // Two words of one side written as one on the other ("ANNE MARIE",
  // "ANNEMARIE", a name of its own in the list) are one word: the first of
  // the two pairs with the joined one, the second is left out.
  bool used_a[kMax] = {}, used_b[kMax] = {};
  bool whole[kMax][kMax] = {};  // pairs alike as 1 without comparing: equal, or joined
  const auto join = [&](const Profile& x, std::size_t mx, bool* used_x, const Profile& y, std::size_t my,
                        bool x_is_a) {
    for (std::size_t i = 0; i + 1 < mx; ++i) {
      const std::string_view head = x.name()[i].text, tail = x.name()[i + 1].text;
      for (std::size_t j = 0; j < my; ++j) {
        const std::string_view joined = y.name()[j].text;
        if (joined.size() == head.size() + tail.size() && joined.starts_with(head) && joined.ends_with(tail)) {
          (x_is_a ? whole[i][j] : whole[j][i]) = true;
          used_x[i + 1] = true;
        }
      }
    }
  };
  join(a, ma, used_a, b, mb, true);
  join(b, mb, used_b, a, ma, false);
  // Words are paired one to one, the most alike first; each part is as
  // alike as its least alike pair, so a first name that differs is not
  // outweighed by a long surname that agrees.
  double name = 1, first = 1, rarest = 0;
  bool other_name = false, surname_agrees = false;
  const auto take = [&](std::size_t i, std::size_t j, const Pairing& pairing) {
    used_a[i] = used_b[j] = true;
    if (a.name()[i].given() || b.name()[j].given()) {
      first = std::min(first, pairing.likeness);
      other_name = other_name || pairing.other_name;
    } else {
      name = std::min(name, pairing.likeness);
      if (pairing.likeness >= 0.9) {
        const double share = std::min(a.name()[i].share, b.name()[j].share);
        rarest = surname_agrees ? std::min(rarest, share) : share;
        surname_agrees = true;
      }
    }
  };
  // Pairs alike as 1 are the first chosen, in this order, and the words of
  // most duplicates are paired so without comparing any others.
  for (std::size_t i = 0; i < ma; ++i) {
    for (std::size_t j = 0; j < mb; ++j) {
      if (!used_a[i] && !used_b[j] && (whole[i][j] || a.name()[i].text == b.name()[j].text)) take(i, j, {1, false});
    }
  }
  Pairing sim[kMax][kMax];
  for (std::size_t i = 0; i < ma; ++i) {
    if (used_a[i]) continue;
    for (std::size_t j = 0; j < mb; ++j) {
      if (!used_b[j]) sim[i][j] = PairWords(a.name()[i], b.name()[j], word_below);
    }
  }
  const auto unused = [](const bool* used, std::size_t m) {
    return static_cast<std::size_t>(std::count(used, used + m, false));
  };
  for (std::size_t k = std::min(unused(used_a, ma), unused(used_b, mb)); k > 0; --k) {
    std::size_t bi = 0, bj = 0;
    double best = -1;
    for (std::size_t i = 0; i < ma; ++i) {
      if (used_a[i]) continue;
      for (std::size_t j = 0; j < mb; ++j) {
        if (!used_b[j] && sim[i][j].likeness > best) {
          best = sim[i][j].likeness;
          bi = i;
          bj = j;
        }
      }
    }
    take(bi, bj, sim[bi][bj]);
  }
  // Words without a partner: a first name one record lacks, or a word such
  // as "Autohaus" before "Becker".
  // What first names a record has: none, only initials, or a name.
  enum Given { kNone, kInitials, kNames };
  const auto given_in = [](const Profile& p, std::size_t m) {
    Given g = kNone;
    for (std::size_t i = 0; i < m; ++i) {
      if (p.name()[i].known_first_name()) return kNames;
      if (p.name()[i].initial()) g = kInitials;
    }
    return g;
  };
  const Given a_given = given_in(a, ma), b_given = given_in(b, mb);
  const auto unpaired = [&](const Profile& p, const bool* used, std::size_t m, Given other) {
    for (std::size_t i = 0; i < m; ++i) {
      if (used[i]) continue;
      if (!p.name()[i].given()) {
        name *= 0.9;
      } else if (other == kNames) {
        // A second first name on one side only ("Hans-Peter", "Peter") is
        // more often a relative than the same person.
        first *= 0.7;
      } else {
        // None at all, or initials that may stand for both ("A." for Anna-Lena).
        first *= other == kNone && surname_agrees ? MissingFirstName(rarest) : 0.9;
      }
    }
  };
  unpaired(a, used_a, ma, b_given);
  unpaired(b, used_b, mb, a_given);
  for (std::size_t extra = std::max(na, kMax) - kMax + std::max(nb, kMax) - kMax; extra > 0; --extra) name *= 0.9;
  first *= generation;
  if (other_name) {
    first = 0;
    if (parts->rule == Rule::kParts) parts->rule = Rule::kFirstNames;
  }
  parts->name = static_cast<float>(name);
  parts->first_name = static_cast<float>(first);
}

// The address parts into `parts`; false when the address certainly keeps
// the pair below `below`, with parts->street then a value that says so.
bool AddressParts(const Profile& a, const Profile& b, double below, Parts* parts) {
  double number = 0.3;
  if (a.number == b.number) {
    number = 1;
  } else if (a.number.empty() || b.number.empty()) {
    number = 0.85;
  } else if (a.house.known && b.house.known) {
    const HouseNumber& x = a.house;
    const HouseNumber& y = b.house;
    const auto within = [](const HouseNumber& range, const HouseNumber& n) {
      // "89-91" holds 89 and 91, and the numbers of that side of the street between.
      return range.to > range.from && n.from == n.to && n.from >= range.from && n.from <= range.to &&
             (n.from - range.from) % 2 == 0 && (n.letter == 0 || range.letter == 0 || n.letter == range.letter);
    };
    // Two ranges that start or end alike ("27-29", "27 - 31") are one
    // building written two ways more often than two buildings.
    const bool ranges_meet = x.to > x.from && y.to > y.from && (x.from == y.from || x.to == y.to) &&
                             (x.letter == 0 || y.letter == 0 || x.letter == y.letter);
    if (x.from == y.from && x.to == y.to) {
      number = x.letter == y.letter ? 1 : 0.9;
    } else if (within(x, y) || within(y, x) || ranges_meet) {
      number = 0.95;
    }
  }
  if (number < 0.95 && !a.number.empty() && !b.number.empty() &&
      MisreadAlike(a.number, Letters(a.number), b.number, Letters(b.number))) {
    number = 0.95;  // "8S" and "85"
  }
  double plz = 0.5;
  if (a.plz() == b.plz()) {
    plz = 1;
  } else if (a.plz().empty() || b.plz().empty()) {
    plz = 0.9;
  } else if (OneTypo(a.plz(), b.plz())) {
    plz = 0.85;
  } else if (a.town() == b.town() && !a.town().empty() && a.plz().size() == 5 && b.plz().size() == 5 &&
             a.plz()[0] == b.plz()[0] && a.plz()[1] == b.plz()[1]) {
    // Two typos in the last three digits of one town's PLZ: the town says
    // where the customer lives, so the PLZ alone does not part them.
    plz = 0.75;
  }
  parts->house_number = static_cast<float>(number);
  parts->plz = static_cast<float>(plz);
  const bool street_known = a.street.empty() || b.street.empty() || a.street == b.street;
  const bool same_town = a.town() == b.town() || a.town().empty() || b.town().empty();
  const auto street_misread = [&] {
    return MisreadAlike(a.street, a.street_letters, b.street, b.street_letters);
  };
  if (below > 0 && !street_known && !street_misread()) {
    const double best = JaroWinklerBound(a.street, a.street_letters, b.street, b.street_letters) * number *
                        plz * (same_town ? 1 : 0.95);
    if (best < below) {
      parts->street = static_cast<float>(best);
      parts->town = 1;
      return false;
    }
  }
  double street = 1;
  if (a.street.empty() || b.street.empty()) {
    street = 0.85;
  } else if (!(a.street == b.street)) {
    street = street_misread() ? 0.95 : JaroWinkler(a.street, b.street);
  }
  double town = 0.7;
  if (same_town) {
    town = 1;
  } else if (below > 0 && street * number * plz * 0.95 < below) {
    parts->street = static_cast<float>(street);
    parts->town = 0;
    return false;
  } else if (JaroWinkler(a.town(), b.town()) >= 0.85 || OneTypo(a.town(), b.town())) {
    town = 0.95;
  }
  parts->street = static_cast<float>(street);
  parts->town = static_cast<float>(town);
  return true;
}

double AddressOf(const Parts& p) {
  return static_cast<double>(p.street) * p.house_number * p.plz * p.town;
}

}  // namespace

std::string_view RuleName(Rule rule) {
  switch (rule) {
    case Rule::kKinds: return "organisation and person";
    case Rule::kFirstNames: return "first names differ";
    case Rule::kGenerations: return "generations differ";
    case Rule::kDecided: return "decision: different";
    case Rule::kParts: break;
  }
  return "parts";
}

double Score(const Profile& a, const Profile& b, double floor, Parts* parts) {
  Parts own;
  Parts& p = parts != nullptr ? *parts : own;
  p = Parts{};
  const double below = parts != nullptr ? 0 : Below(floor);
  if (!AddressParts(a, b, below, &p)) return AddressOf(p) * 0.5;
  const double address = AddressOf(p);
  // The names can only lower the score: below the floor already, they are not needed.
  if (below > 0 && address < below) return address * 0.5;
  p.kind = KindPart(a, b);
  if (p.kind == 0) {
    p.rule = Rule::kKinds;
    if (parts == nullptr) return 0;
  }
  NameParts(a, b, address > 0 ? below / address : 1, &p);
  if (p.rule != Rule::kParts) return 0;
  return static_cast<double>(p.name) * p.first_name * p.kind * address;
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
