// korvix key: the duplicate key of every record string, in input order.
#include <string>
#include <vector>

#include "commands.h"
#include "korvix/key_builder.h"
#include "line_reader.h"
#include "output.h"

namespace korvix::cli {
namespace {

// Records keyed together on all cores; bounds the memory of any input.
constexpr std::size_t kBatch = 1 << 16;

constexpr OptionSpec kOptions[] = {
    {"algorithm", "CODE", "the algorithm code, taken exactly as given (blanks included)"},
};

int Run(const Args& args) {
  const auto code = args.Value("algorithm");
  if (!code) throw UsageError("--algorithm CODE is required");
  const KeyBuilder builder(*code);
  Output out;
  std::vector<std::string> batch;
  batch.reserve(kBatch);
  const auto flush = [&] {
    for (const std::string& key : builder.Keys(batch)) out.Line(key);
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
    "key", "print the duplicate key of each record string", "--algorithm CODE [FILE...]",
    "Reads record strings, one per line (PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe),\n"
    "from the files or standard input and prints the key of each, one per line, in input order.",
    kOptions, Run};

}  // namespace korvix::cli
