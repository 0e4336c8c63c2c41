// First names as a person knows them, not only as letters: "MARIEKE" and
// "FREDERIKE" look alike but are two people, "KATRIN" and "CATRIN" are one.
// The names come from data/first_names.tsv, compiled into the library; each
// line of it is a group: one name with its spelling variants and short forms.
//
// Every lookup takes a word as the Normalizer gives it: capitals, Ä Ö Ü ß
// written AE OE UE SS, no hyphens or dots ("JUERGEN", "HANSPETER"). Other
// accents may stay ("JOSÉ") or be gone ("JOSE"): both are found. Lookups do
// not allocate and may run on any number of threads.
#ifndef KORVIX_DEDUPE_FIRST_NAMES_H_
#define KORVIX_DEDUPE_FIRST_NAMES_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace korvix::dedupe {

// A word's standing as a first name.
struct FirstName {
  // The groups (lines of the list) the word is a form of; empty when it is
  // not a known first name. Two known names are one name iff their groups meet.
  std::span<const std::uint16_t> groups;
  char sex = 'u';  // 'm', 'f' or 'u' (both, or unknown)
  std::uint32_t groups_at = 0;  // where `groups` starts in the list (FirstNameGroups)
  bool known() const { return !groups.empty(); }
};

// The groups of all known names lie one after the other in one list: a
// name's are FirstNameGroups(name.groups_at, name.groups.size()), so that
// millions of words keep them in a few bytes, not in a view. The list is
// shorter than kFirstNameGroupsMost: a word keeps groups_at in 23 bits.
constexpr std::uint32_t kFirstNameGroupsMost = std::uint32_t{1} << 23;
std::span<const std::uint16_t> FirstNameGroups(std::uint32_t at, std::size_t size);

// REQUIRES: `word` in capitals with umlauts written out, as the normaliser gives it.
FirstName LookupFirstName(std::string_view word);

// How two first names relate: kSame (a group in common: variants, short forms),
// kDifferent (both known, no group in common), kUnknown (either is not known,
// even when the two are equal: the caller compares letters then).
enum class NameRelation { kSame, kDifferent, kUnknown };
NameRelation CompareFirstNames(std::string_view a, std::string_view b);

// A compound first name written as one word ("HANSPETER", "KARLHEINZ",
// "ANNALENA"): true and the two known names it is made of (views into
// `word`); false otherwise. A word that is a known name of its own
// ("MARIANNE", "ANNEMARIE") is never split, nor one with a part that is not a
// known name ("PETERSEN"). Parts have two letters at least; where a word
// splits more than one way the longer first part wins (ANNA LENA, not ANN
// ALENA).
bool SplitCompoundFirstName(std::string_view word, std::string_view* first, std::string_view* second);

// The list itself, for tests and diagnostics: the number of groups, the main
// form of group `group` as a lookup key ("JUERGEN"), and the number of
// distinct keys (every form, with its umlauts and accents written out and
// folded).
std::size_t FirstNameGroupCount();
std::string_view FirstNameGroupName(std::uint16_t group);
std::size_t FirstNameKeyCount();

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_FIRST_NAMES_H_
