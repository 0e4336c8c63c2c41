#include "algorithm_choice.h"

#include "base/text.h"
#include "database.h"
#include "korvix/algorithm_code.h"
#include "korvix/description.h"
#include "korvix/fields.h"

namespace korvix::cli {
namespace {

constexpr const char* kLookUpCodes =
    " (see 'korvix algorithms' for the stored codes, 'korvix describe' for what a code means)";
constexpr const char* kLookUpForms = " (see 'korvix describe' for the readable form of a code)";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int TwoDigits(std::string_view code, std::size_t at) {
  return (code[at] - '0') * 10 + (code[at + 1] - '0');
}

std::string Characters(std::size_t from, std::size_t to) {
  return "characters " + std::to_string(from) + "-" + std::to_string(to);
}

// What keeps `code` from being one the editor could have written, or "".
// The key builder reads any text; a typo would key every record alike.
std::string CodeProblem(std::string_view code) {
  if (code.empty()) return "no code given";
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (IsDigit(code[i])) continue;
    const std::size_t length = text::DecodeCharacter(code, i).length;
    return "character " + std::to_string(i + 1) + " ('" + std::string(code.substr(i, length)) +
           "') is not a digit: a code has 16 digits for each slot; a readable form looks like "
           "5(PLZ)+4R['sndx:Bez1], a name goes with --name";
  }
  const std::size_t slot = static_cast<std::size_t>(kSlotWidth);
  if (code.size() % slot != 0) {
    const std::size_t last = code.size() / slot * slot;
    return "the code has " + std::to_string(code.size()) +
           " characters, 16 for each slot: the slot from character " + std::to_string(last + 1) +
           " is cut short";
  }
  if (code.size() > slot * kMaxSlots) {
    return "the code has " + std::to_string(code.size() / slot) +
           " slots, at most 10 are read: character " + std::to_string(slot * kMaxSlots + 1) +
           " on is too much";
  }
  for (std::size_t at = 0; at < code.size(); at += slot) {
    const int field = TwoDigits(code, at);
    if (field == 0 || field > kFieldBez1234) {
      return Characters(at + 1, at + 2) + ": field number " + std::string(code.substr(at, 2)) +
             " names no field (1-9 and 51-53 are the fields, 10-50 further record items)";
    }
    if (TwoDigits(code, at + 2) == 0) {
      return Characters(at + 3, at + 4) + ": length 00; a slot takes 1 to 99 characters";
    }
  }
  return {};
}

}  // namespace

std::string ReadAlgorithm(std::string_view given, std::string* code) {
  if (given.find_first_of("([") != std::string_view::npos) {
    DescriptionError error;
    if (ParseDescription(given, code, &error)) return {};
    return "character " + std::to_string(error.position) + ": " + error.message + kLookUpForms;
  }
  std::string problem = CodeProblem(given);
  if (!problem.empty()) return problem + kLookUpCodes;
  *code = given;
  return {};
}

std::string AlgorithmCode(std::string_view given) {
  std::string code;
  const std::string problem = ReadAlgorithm(given, &code);
  if (!problem.empty()) throw UsageError("--algorithm \"" + std::string(given) + "\": " + problem);
  return code;
}

std::vector<AlgorithmEntry> VisibleAlgorithms(db::Connection* connection, const Args& args) {
  try {
    return ReadVisibleAlgorithms(connection, args.Value("user").value_or(""), args.Has("admin"));
  } catch (const Error& e) {
    throw IoError(std::string("cannot read the algorithms: ") + e.what());
  }
}

std::vector<const AlgorithmEntry*> EntriesNamed(std::span<const AlgorithmEntry> entries,
                                                std::string_view name) {
  std::vector<const AlgorithmEntry*> exact, alike;
  // Names compare as column names do: Unicode case folding, blanks around ignored.
  const std::string folded = FoldColumnName(name, false);
  for (const AlgorithmEntry& e : entries) {
    const std::string text = ListText(e);
    if (text == name) exact.push_back(&e);
    if (FoldColumnName(text, false) == folded) alike.push_back(&e);
  }
  return exact.empty() ? alike : exact;
}

std::string EntryLines(std::span<const AlgorithmEntry* const> entries) {
  std::string lines;
  for (const AlgorithmEntry* e : entries) {
    lines += "\n  " + ListText(*e) + "  (code " + e->AlgorithmCode + ", owner " + e->PersonalNr +
             ")";
  }
  return lines;
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
    const std::vector<const AlgorithmEntry*> found = EntriesNamed(entries, name);
    if (found.empty()) {
      std::vector<const AlgorithmEntry*> all;
      for (const AlgorithmEntry& e : entries) all.push_back(&e);
      throw UsageError("no algorithm named '" + name + "' for this user; known are:" +
                       (all.empty() ? std::string("\n  (none)") : EntryLines(all)));
    }
    // Rows of one code key alike, whoever owns them.
    for (const AlgorithmEntry* e : found) {
      if (e->AlgorithmCode != found.front()->AlgorithmCode) {
        throw UsageError("more than one algorithm is named '" + name + "':" + EntryLines(found) +
                         "\nchoose one with --algorithm CODE");
      }
    }
    chosen.push_back({found.front()->AlgorithmCode, ListText(*found.front())});
  }
  return chosen;
}

}  // namespace korvix::cli
