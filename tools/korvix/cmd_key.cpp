// korvix key: the duplicate key of every record string, in input order.
#include <unistd.h>

#include <string>
#include <vector>

#include "algorithm_choice.h"
#include "commands.h"
#include "database.h"
#include "korvix/key_stream.h"
#include "line_reader.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {
    kAlgorithmOption, kNameOption, kUserOption, kAdminOption, kDbOption, kThreadsOption,
};

int Run(const Args& args) {
  const std::vector<ChosenAlgorithm> chosen = ChooseAlgorithms(args);
  if (chosen.size() != 1) throw UsageError("give one algorithm: --algorithm CODE or --name NAME");
  const unsigned threads = Threads(args);
  const KeyBuilder builder(chosen.front().code);
  const std::vector<std::string> inputs =
      args.operands().empty() ? std::vector<std::string>{"-"} : args.operands();
  for (const std::string& path : inputs) {
    const int fd = OpenInput(path);
    try {
      KeyStream(builder, {fd, path == "-" ? "standard input" : path},
                {STDOUT_FILENO, "standard output"}, threads);
    } catch (...) {
      CloseInput(fd);
      throw;
    }
    CloseInput(fd);
  }
  return kExitOk;
}

}  // namespace

extern const Command kKeyCommand = {
    "key", "print the duplicate key of each record string",
    "(--algorithm CODE | --name NAME) [--threads N] [FILE...]",
    "Reads record strings, one per line (PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe),\n"
    "from the files or standard input and prints the key of each, one per line, in input order.\n"
    "The algorithm is a code, its readable form, or the name of a stored one (--user, --admin\n"
    "and --db say whose list it is in).",
    kOptions, Run};

}  // namespace korvix::cli
