#include "algorithm_choice.h"

#include "database.h"
#include "korvix/algorithm_store.h"
#include "korvix/description.h"

namespace korvix::cli {

std::vector<ChosenAlgorithm> ChooseAlgorithms(const Args& args) {
  std::vector<ChosenAlgorithm> chosen;
  for (const std::string& code : args.Values("algorithm")) chosen.push_back({code, DescribeAlgorithm(code)});
  const std::vector<std::string> names = args.Values("name");
  if (names.empty()) return chosen;
  const auto connection = OpenToolDatabase(args);
  std::string error;
  const auto entries = ReadVisibleAlgorithms(connection.get(), args.Value("user").value_or(""),
                                             args.Has("admin"), &error);
  if (!error.empty()) throw IoError("cannot read the algorithms: " + error);
  for (const std::string& name : names) {
    const AlgorithmEntry* found = nullptr;
    std::string known;
    for (const AlgorithmEntry& e : entries) {
      known += "\n  " + ListText(e);
      if (ListText(e) != name) continue;
      if (found != nullptr && found->AlgorithmCode != e.AlgorithmCode) {
        throw UsageError("more than one algorithm is named '" + name +
                         "'; choose one with --algorithm CODE");
      }
      found = &e;
    }
    if (found == nullptr) {
      throw UsageError("no algorithm named '" + name + "' for this user; known are:" +
                       (known.empty() ? std::string("\n  (none)") : known));
    }
    chosen.push_back({found->AlgorithmCode, ListText(*found)});
  }
  return chosen;
}

}  // namespace korvix::cli
