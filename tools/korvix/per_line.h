// Commands that turn every input line into one output line.
#ifndef KORVIX_TOOLS_PER_LINE_H_
#define KORVIX_TOOLS_PER_LINE_H_

#include <string>
#include <string_view>

#include "cli.h"

namespace korvix::cli {

// Reads the operands (standard input when none) line by line and prints
// `transform` of each line, in order. Returns the exit status.
int TransformLines(const Args& args, std::string (*transform)(std::string_view));

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_PER_LINE_H_
