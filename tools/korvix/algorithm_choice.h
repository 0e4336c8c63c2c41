// Which algorithm a batch command runs: given by code, or chosen by name.
#ifndef KORVIX_TOOLS_ALGORITHM_CHOICE_H_
#define KORVIX_TOOLS_ALGORITHM_CHOICE_H_

#include <string>
#include <vector>

#include "cli.h"

namespace korvix::cli {

// The options that choose the algorithm; --name also takes the database
// options --db, --user and --admin.
inline constexpr OptionSpec kAlgorithmOption = {"algorithm", "CODE",
                                                "the algorithm code that builds the keys"};
inline constexpr OptionSpec kNameOption = {
    "name", "NAME", "the algorithm of this name, as the user sees the list"};

struct ChosenAlgorithm {
  std::string code;
  std::string name;  // as the list shows it; the description for a bare code
};

// Every --algorithm CODE in order, then every --name NAME: the algorithm of
// that list text among those the user (--user, --admin) sees in the
// database (--db). Empty when neither is given. Throws UsageError when a
// name is unknown or ambiguous; IoError when the database cannot be read.
std::vector<ChosenAlgorithm> ChooseAlgorithms(const Args& args);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_ALGORITHM_CHOICE_H_
