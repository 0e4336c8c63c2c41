#include "algorithm_choice.h"

#include "database.h"
#include "korvix/algorithm_store.h"
#include "korvix/description.h"

namespace korvix::cli {

ChosenAlgorithm ChooseAlgorithm(const Args& args) {
  const auto code = args.Value("algorithm");
  const auto name = args.Value("name");
  if (code.has_value() == name.has_value()) {
    throw UsageError("give either --algorithm CODE or --name NAME");
  }
  if (code) return {*code, DescribeAlgorithm(*code)};
  const auto connection = OpenToolDatabase(args);
  std::string error;
  const auto entries = ReadVisibleAlgorithms(connection.get(), args.Value("user").value_or(""),
                                             args.Has("admin"), &error);
  if (!error.empty()) throw IoError("cannot read the algorithms: " + error);
  const AlgorithmEntry* found = nullptr;
  std::string known;
  for (const AlgorithmEntry& e : entries) {
    known += "\n  " + ListText(e);
    if (ListText(e) != *name) continue;
    if (found != nullptr && found->AlgorithmCode != e.AlgorithmCode) {
      throw UsageError("more than one algorithm is named '" + *name +
                       "'; choose one with --algorithm CODE");
    }
    found = &e;
  }
  if (found == nullptr) {
    throw UsageError("no algorithm named '" + *name + "' for this user; known are:" +
                     (known.empty() ? std::string("\n  (none)") : known));
  }
  return {found->AlgorithmCode, ListText(*found)};
}

}  // namespace korvix::cli
