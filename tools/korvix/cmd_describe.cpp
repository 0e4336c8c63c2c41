// korvix describe: the readable description of every algorithm code.
#include "commands.h"
#include "korvix/description.h"
#include "per_line.h"

namespace korvix::cli {
namespace {

int Run(const Args& args) { return TransformLines(args, &DescribeAlgorithm); }

}  // namespace

extern const Command kDescribeCommand = {
    "describe", "print the readable description of each algorithm code", "[FILE...]",
    "Reads one algorithm code per line from the files or standard input and prints its\n"
    "description, such as 3(PLZ)+5(Straße)+4R['sndx:Bez1].",
    {}, Run};

}  // namespace korvix::cli
