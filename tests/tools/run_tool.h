// Runs the korvix command line as a user would, for the tool's tests.
#ifndef KORVIX_TESTS_TOOLS_RUN_TOOL_H_
#define KORVIX_TESTS_TOOLS_RUN_TOOL_H_

#include <string>
#include <vector>

namespace korvix::testing {

struct ToolResult {
  int status = -1;  // exit status
  std::string out, err;
};

// Runs `korvix args...` with `input` on its standard input and waits for it;
// `env` adds to the environment. With `terminal`, standard error is a
// pseudo-terminal (whose line discipline turns "\n" into "\r\n").
ToolResult RunTool(const std::vector<std::string>& args, const std::string& input = "",
                   const std::vector<std::string>& env = {}, bool terminal = false);

// Runs `script` with /bin/sh, korvix's path in $KORVIX, the completion
// script's in $COMPLETION.
ToolResult RunShell(const std::string& script, const std::vector<std::string>& env = {});

}  // namespace korvix::testing

#endif  // KORVIX_TESTS_TOOLS_RUN_TOOL_H_
