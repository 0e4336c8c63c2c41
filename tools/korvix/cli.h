// Shared pieces of the korvix command line: options, errors, exit codes.
#ifndef KORVIX_TOOLS_CLI_H_
#define KORVIX_TOOLS_CLI_H_

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvix::cli {

// Exit statuses of every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitIo = 1;      // a file or database could not be read or written
inline constexpr int kExitUsage = 2;   // the command line itself is wrong

// Thrown for a wrong command line; main prints it with the usage hint.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Thrown for input or output that failed; main prints it.
struct IoError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct OptionSpec {
  std::string_view name;      // without the leading "--"
  // Placeholder of the value ("CODE"), empty for a flag. In brackets
  // ("[THRESHOLD]") the value may be left out: it is then taken from
  // "--name=VALUE", or from the next argument when that starts with a digit
  // or a dot, and is empty otherwise.
  std::string_view value;
  std::string_view help;
};

// A parsed command line: options by name, then the operands in order.
class Args {
 public:
  bool Has(std::string_view name) const;
  std::optional<std::string> Value(std::string_view name) const;
  // Every value of an option given more than once, in order.
  std::vector<std::string> Values(std::string_view name) const;
  const std::vector<std::string>& operands() const { return operands_; }

 private:
  friend Args Parse(std::span<const std::string_view>, std::span<const OptionSpec>);
  std::vector<std::pair<std::string, std::string>> options_;
  std::vector<std::string> operands_;
};

// Parses "--name VALUE", "--name=VALUE", "--flag" and operands; "--" ends the
// options. Throws UsageError for an unknown option or a missing value.
Args Parse(std::span<const std::string_view> argv, std::span<const OptionSpec> options);

// A subcommand: its name, a one-line summary, the usage line and its options.
struct Command {
  std::string_view name;
  std::string_view summary;
  std::string_view usage;       // after "korvix NAME "
  std::string_view description; // a paragraph or two for --help
  std::span<const OptionSpec> options;
  int (*run)(const Args& args);
};

// Prints the --help text of `command` to stdout.
void PrintHelp(const Command& command);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_CLI_H_
