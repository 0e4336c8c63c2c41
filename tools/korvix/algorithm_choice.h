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

// The code that `given` stands for, as ReadAlgorithm reads it; throws
// UsageError with the problem and where codes are looked up.
std::string ReadAlgorithmOf(std::string_view given);

// The code of an --algorithm value, as ReadAlgorithmOf reads it.
std::string AlgorithmCode(std::string_view given);

// The algorithms that the user (--user, --admin) may see in the database
// (--db), in the order of the selection list. Throws IoError when they
// cannot be read.
std::vector<AlgorithmEntry> VisibleAlgorithms(db::Connection* connection, const Args& args);

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
