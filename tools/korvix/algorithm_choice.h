// Which algorithm a command runs or changes: given by code or readable form,
// or found by name among those a user sees.
#ifndef KORVIX_TOOLS_ALGORITHM_CHOICE_H_
#define KORVIX_TOOLS_ALGORITHM_CHOICE_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "korvix/algorithm_store.h"

namespace korvix::cli {

// The options that choose the algorithm; --name also takes the database
// options --db, --user and --admin.
inline constexpr OptionDef kAlgorithmOption = {
    "algorithm", "CODE", "the algorithm: a code, or its readable form such as 5(PLZ)+3(Ort)"};
inline constexpr OptionDef kNameOption = {
    "name", "NAME", "the algorithm of this name in the user's list (any letter case)"};

// Sets *code to the code that `given` stands for and returns "", or returns
// what is wrong with it, at which character, and where codes are looked up.
// A text with "(" or "[" is a readable form (as korvix describe prints it)
// and is turned back into its code; any other text must be a code that the
// editor could have written: digits only, 16 for each of one to ten slots,
// field numbers 1 to 53, lengths 1 to 99.
std::string ReadAlgorithm(std::string_view given, std::string* code);

// The code of an --algorithm value, as ReadAlgorithm reads it; throws
// UsageError with the problem.
std::string AlgorithmCode(std::string_view given);

// The algorithms that the user (--user, --admin) may see in the database
// (--db), in the order of the selection list. Throws IoError when they
// cannot be read.
std::vector<AlgorithmEntry> VisibleAlgorithms(db::Connection* connection, const Args& args);

// The entries that `name` names: those whose list text is `name`; when none
// is, those whose list text is `name` regardless of letter case.
std::vector<const AlgorithmEntry*> EntriesNamed(std::span<const AlgorithmEntry> entries,
                                                std::string_view name);

// Entries as a message lists them: one indented line each with the list
// text, the code and the owner ("-" for public).
std::string EntryLines(std::span<const AlgorithmEntry* const> entries);

struct ChosenAlgorithm {
  std::string code;
  std::string name;  // as the list shows it; the description for a bare code
};

// Every --algorithm in order, then every --name: the algorithm of that name
// among those the user sees. Empty when neither is given. Throws
// UsageError for a wrong code, or a name that is unknown or names
// algorithms of different codes; IoError when the database cannot be read.
std::vector<ChosenAlgorithm> ChooseAlgorithms(const Args& args);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_ALGORITHM_CHOICE_H_
