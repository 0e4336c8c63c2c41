#include "algorithm_choice.h"

#include "database.h"
#include "korvix/algorithm_code.h"
#include "korvix/description.h"
#include "korvix/error.h"

namespace korvix::cli {

std::string ReadAlgorithmOf(std::string_view given) {
  try {
    return korvix::ReadAlgorithm(given);
  } catch (const Error& e) {
    const bool form = given.find_first_of("([") != std::string_view::npos;
    throw UsageError(std::string(e.what()) +
                     (form ? " (see 'korvix describe' for the readable form of a code)"
                           : " (see 'korvix algorithms' for the stored codes, 'korvix describe' "
                             "for what a code means)"));
  }
}

std::string AlgorithmCode(std::string_view given) {
  try {
    return ReadAlgorithmOf(given);
  } catch (const UsageError& e) {
    throw UsageError("--algorithm \"" + std::string(given) + "\": " + e.what());
  }
}

std::vector<AlgorithmEntry> VisibleAlgorithms(db::Connection* connection, const Args& args) {
  try {
    return ReadVisibleAlgorithms(connection, args.Value("user").value_or(""), args.Has("admin"));
  } catch (const Error& e) {
    throw IoError(std::string("cannot read the algorithms: ") + e.what());
  }
}

std::vector<ChosenAlgorithm> ChooseAlgorithms(const Args& args) {
  std::vector<ChosenAlgorithm> chosen;
  for (const std::string& given : args.Values("algorithm")) {
    const std::string code = AlgorithmCode(given);
    chosen.push_back({code, DescribeAlgorithm(code)});
  }
  const std::vector<std::string> names = args.Values("name");
  if (names.empty()) return chosen;
  const auto connection = OpenToolDatabase(args);
  const std::vector<AlgorithmEntry> entries = VisibleAlgorithms(connection.get(), args);
  for (const std::string& name : names) {
    const AlgorithmEntry* found = nullptr;
    try {
      found = AlgorithmNamed(entries, name);
    } catch (const Error& e) {
      throw UsageError(std::string(e.what()) + "\nchoose one with --algorithm CODE");
    }
    if (found == nullptr) {
      std::vector<const AlgorithmEntry*> all;
      for (const AlgorithmEntry& e : entries) all.push_back(&e);
      throw UsageError("no algorithm named '" + name + "' for this user; known are:" +
                       (all.empty() ? std::string("\n  (none)") : EntryLines(all)));
    }
    chosen.push_back({found->AlgorithmCode, ListText(*found)});
  }
  return chosen;
}

}  // namespace korvix::cli
