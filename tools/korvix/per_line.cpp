#include "per_line.h"

#include "line_reader.h"
#include "output.h"

namespace korvix::cli {

int TransformLines(const Args& args, std::string (*transform)(std::string_view)) {
  Output out;
  ForEachInput(args.operands(), [&](LineReader& in) {
    std::string_view line;
    while (in.Next(&line)) out.Line(transform(line));
  });
  out.Finish();
  return kExitOk;
}

}  // namespace korvix::cli
