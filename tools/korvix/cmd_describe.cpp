// korvix describe: the readable description of every algorithm code, or
// with --code the code of every readable description.
#include "algorithm_choice.h"
#include "commands.h"
#include "korvix/description.h"
#include "line_reader.h"
#include "output.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {
    {"code", "", "the other way: the code of each readable form"},
};

int Codes(const Args& args) {
  Output out;
  ForEachInput(args.operands(), [&](LineReader& in) {
    std::string_view line;
    while (in.Next(&line)) {
      try {
        out.Line(ReadAlgorithmOf(line));
      } catch (const UsageError& e) {
        out.Finish();  // the codes of the lines before stay usable
        throw IoError(in.name() + ", line " + std::to_string(in.line_number()) + ": \"" +
                      std::string(line) + "\": " + e.what());
      }
    }
  });
  out.Finish();
  return kExitOk;
}

int Run(const Args& args) {
  return args.Has("code") ? Codes(args) : TransformLines(args, &DescribeAlgorithm);
}

}  // namespace

extern const Command kDescribeCommand = {
    "describe", "print the readable description of each algorithm code", "[--code] [FILE...]",
    "Reads one algorithm code per line from the files or standard input and prints its\n"
    "description, such as 3(PLZ)+5(Straße)+4R['sndx:Bez1]. With --code it reads such\n"
    "descriptions and prints their codes; a line that describes no code ends the run with\n"
    "the character where it goes wrong (fields 10 to 50 have no label, so \"3()\" is one).",
    kOptions, Run};

}  // namespace korvix::cli
