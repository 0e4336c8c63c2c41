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

// Runs `korvix args...` with `input` on its standard input and waits for it.
ToolResult RunTool(const std::vector<std::string>& args, const std::string& input = "",
                   const std::vector<std::string>& env = {});

// A fresh temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

}  // namespace korvix::testing

#endif  // KORVIX_TESTS_TOOLS_RUN_TOOL_H_
