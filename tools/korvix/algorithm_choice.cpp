#include "algorithm_choice.h"

#include <stdexcept>

#include "database.h"
#include "korvix/algorithm_code.h"
#include "korvix/description.h"

namespace korvix::cli {

std::string ReadAlgorithmOf(std::string_view given) {
  try {
    return korvix::ReadAlgorithm(given);
  } catch (const std::invalid_argument& e) {
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
  std::string error;
  std::vector<AlgorithmEntry> entries = ReadVisibleAlgorithms(
      connection, args.Value("user").value_or(""), args.Has("admin"), &error);
  // The dialogs list what they could read; a command that left rows out
  // without saying so would mislead.
  if (!error.empty()) throw IoError("cannot read the algorithms: " + error);
  return entries;
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
    } catch (const std::invalid_argument& e) {
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
