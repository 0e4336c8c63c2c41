// korvix name: the name of an algorithm as a user sees it.
#include "algorithm_choice.h"
#include "commands.h"
#include "database.h"
#include "korvix/algorithm_store.h"
#include "output.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {kAlgorithmOption, kUserOption, kDbOption};

int Run(const Args& args) {
  ExpectNoOperands(args);
  const auto given = args.Value("algorithm");
  if (!given) throw UsageError("--algorithm CODE is required");
  const std::string code = AlgorithmCode(*given);
  const auto connection = OpenToolDatabase(args);
  std::string name;
  try {
    name = LookupAlgorithmName(connection.get(), code, args.Value("user").value_or(""));
  } catch (const Error& e) {
    throw IoError(std::string("cannot read the algorithms: ") + e.what());
  }
  Output out;
  out.Line(name);
  out.Finish();
  return kExitOk;
}

}  // namespace

extern const Command kNameCommand = {
    "name", "print the name of an algorithm", "--algorithm CODE [--user NR] [--db PATH|URI]",
    "Prints the name of the algorithm: the user's own one first, else the public one,\n"
    "else the readable description of the code.",
    kOptions, Run};

}  // namespace korvix::cli
