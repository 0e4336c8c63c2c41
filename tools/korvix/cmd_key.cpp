// korvix key: the duplicate key of every record string, in input order.
#include <string>
#include <vector>

#include "algorithm_choice.h"
#include "commands.h"
#include "database.h"
#include "korvix/key_builder.h"
#include "line_reader.h"
#include "output.h"

namespace korvix::cli {
namespace {

// Records keyed together on all cores; bounds the memory of any input.
constexpr std::size_t kBatch = 1 << 16;

constexpr OptionSpec kOptions[] = {
    kAlgorithmOption, kNameOption, kUserOption, kAdminOption, kDbOption, kThreadsOption,
};

int Run(const Args& args) {
  const std::vector<ChosenAlgorithm> chosen = ChooseAlgorithms(args);
  if (chosen.size() != 1) throw UsageError("give one algorithm: --algorithm CODE or --name NAME");
  const unsigned threads = Threads(args);
  const KeyBuilder builder(chosen.front().code);
  Output out;
  std::vector<std::string> batch;
  batch.reserve(kBatch);
  const auto flush = [&] {
    for (const std::string& key : builder.Keys(batch, threads)) out.Line(key);
    batch.clear();
  };
  ForEachInput(args.operands(), [&](LineReader& in) {
    std::string_view line;
    while (in.Next(&line)) {
      batch.emplace_back(line);
      if (batch.size() == kBatch) flush();
    }
  });
  flush();
  out.Finish();
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
