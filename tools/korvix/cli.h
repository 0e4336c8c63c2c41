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
inline constexpr int kExitIo = 1;     // a file or database could not be read or written
inline constexpr int kExitUsage = 2;  // the command line itself is wrong

// Thrown for a wrong command line; main prints it with the usage hint.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Thrown for input or output that failed, and for a write the store
// refused; main prints it.
struct IoError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct OptionDef {
  std::string_view name;      // without the leading "--"
  // Placeholder of the value ("CODE"), empty for a flag. In brackets
  // ("[THRESHOLD]") the value may be left out: it is then taken from
  // "--name=VALUE", or from the next argument when that starts with a digit
  // or a dot, and is empty otherwise.
  std::string_view value;
  std::string_view help;
};

// The one-letter form of an option, the same in every command that has the
// option: -a algorithm, -n name, -o output, -f format, -q quiet; 0 for none.
// (-h is --help everywhere.)
char ShortName(std::string_view name);

// A parsed command line: options by name, then the operands in order.
class Args {
 public:
  bool Has(std::string_view name) const;
  std::optional<std::string> Value(std::string_view name) const;
  // Every value of an option given more than once, in order.
  std::vector<std::string> Values(std::string_view name) const;
  const std::vector<std::string>& operands() const { return operands_; }

 private:
  friend Args Parse(std::span<const std::string_view>, std::span<const OptionDef>);
  std::vector<std::pair<std::string, std::string>> options_;
  std::vector<std::string> operands_;
};

// Parses "--name VALUE", "--name=VALUE", "-a VALUE", "-aVALUE", "--flag",
// bundled short flags ("-qa CODE") and operands, options and operands in any
// order; "--" ends the options. A value is the next argument whatever it
// looks like ("--user -"). Throws UsageError for an unknown option, a
// missing value or a value given to a flag.
Args Parse(std::span<const std::string_view> argv, std::span<const OptionDef> options);

// --threads N for the commands that key on several processors.
inline constexpr OptionDef kThreadsOption = {
    "threads", "N", "key on N threads (default: the processors this process may use)"};

// The value of --threads, 0 (every processor the process may use, from its
// CPU affinity) when not given. Throws UsageError unless it is 1 to 1024.
unsigned Threads(const Args& args);

// Throws UsageError naming the first operand, for a command that takes none.
void ExpectNoOperands(const Args& args);

// A subcommand: its name, a one-line summary, the usage line and its options.
struct Command {
  std::string_view name;
  std::string_view summary;
  std::string_view usage;       // after "korvix NAME "
  std::string_view description; // a paragraph or two for --help
  std::span<const OptionDef> options;
  int (*run)(const Args& args);
  // Commands of their own under this one ("korvix algorithms add"); the
  // first operand chooses one, else `run` runs.
  std::span<const Command* const> subcommands = {};
};

// The --help text of `command`, called as `path` ("korvix algorithms add"):
// usage, description, options (with their short forms, --help and
// --version), then the subcommands.
std::string HelpText(const Command& command, std::string_view path);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_CLI_H_
