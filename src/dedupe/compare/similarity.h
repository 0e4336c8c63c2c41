// How alike two records are: the score that verification keeps or drops a
// candidate pair by, and the parts it is made of.
//
// The score is the product of seven parts, each from 0 to 1:
//   kind        0 for a firm and a person, unless the firm's name holds the
//               person's whole name (a sole trader: "Elli Dietz e.K."); else 1
//   name        the surnames and firm words, in any order: each word paired
//               with its most alike partner (equal 1; misread letters such as
//               0/O, 1/l, rn/m 0.95; alike in sound or one typo apart 0.9 at
//               least; else Jaro-Winkler squared, so that merely similar words
//               such as Schelk/Schwatlo count little); the least alike pair
//               counts, times 0.9 for each word without a partner
//   first_name  the first names and initials: two forms of one name (Katrin,
//               Kathrin; Alex, Alexander) 0.95, two different known names
//               (Jan, Jana) 0, an initial and its name 0.9; a first name that
//               only one record has costs 0.7 when the other has first names
//               of its own (Peter, Hans-Peter: more often a relative than the
//               same person), 0.9 when it has initials, and when it has none
//               0.9 if the surname they share is rare in the file, down to
//               0.82 where it is common; "jun." or "sen."
//               on one side halves it, on both sides apart makes it 0
//   street      Jaro-Winkler of the street names; 0.85 when one is missing
//   house_number equal 1; one number within the other's range ("89" in
//               "89-91"), or misread ("8S", "85") 0.95; the same number with
//               another letter 0.9; one missing 0.85; else 0.3
//   plz         equal 1; one missing 0.9; one typo 0.85; else 0.5
//   town        equal or one missing 1; alike or one typo apart 0.95; else 0.7
// A part at 0 decides alone, and the comparison names the rule.
#ifndef KORVIX_DEDUPE_SIMILARITY_H_
#define KORVIX_DEDUPE_SIMILARITY_H_

#include <cstdint>
#include <string_view>

#include "dedupe/compare/profile.h"

namespace korvix::dedupe {

// The rule that decided a comparison.
enum class Rule : std::uint8_t {
  kParts,        // the product of the parts
  kKinds,        // an organisation and a person
  kFirstNames,   // two different first names
  kGenerations,  // "jun." and "sen."
  kDecided,      // a person decided so (never a score's rule)
};
std::string_view RuleName(Rule rule);

// The parts of a comparison (see above) and its rule.
struct Parts {
  float kind = 1, name = 1, first_name = 1, street = 1, house_number = 1, plz = 1, town = 1;
  Rule rule = Rule::kParts;
};

// Copies the seven parts of a score between the structs that carry them
// (Parts, DedupePair, RecordComparison, MatchCandidate), which name them alike.
template <class From, class To>
void CopyParts(const From& from, To* to) {
  to->kind = from.kind;
  to->name = from.name;
  to->first_name = from.first_name;
  to->street = from.street;
  to->house_number = from.house_number;
  to->plz = from.plz;
  to->town = from.town;
}

// The score of two profiles, 0 to 1. A score below `floor` may come back as
// any value below `floor`, even as a float: whoever asks only keeps pairs at
// the floor or above. Parts that cannot lift a pair to the floor any more
// are not compared. With `parts`, nothing is skipped and every part is set.
double Score(const Profile& a, const Profile& b, double floor = 0, Parts* parts = nullptr);

// Below this, two records are different customers: a group never holds two
// such records, whatever links each of them to others.
constexpr double kApart = 0.6;

// The Jaro-Winkler similarity of two byte strings (prefix scale 0.1, at
// most four prefix bytes) over their first 64 bytes, which hold any name:
// 1 for equal strings, 0 when one is empty.
double JaroWinkler(std::string_view a, std::string_view b);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_SIMILARITY_H_
