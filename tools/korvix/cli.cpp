#include "cli.h"

#include <cstdio>

namespace korvix::cli {

bool Args::Has(std::string_view name) const {
  for (const auto& [n, v] : options_) {
    if (n == name) return true;
  }
  return false;
}

std::optional<std::string> Args::Value(std::string_view name) const {
  std::optional<std::string> last;  // a repeated option: the last one counts
  for (const auto& [n, v] : options_) {
    if (n == name) last = v;
  }
  return last;
}

std::vector<std::string> Args::Values(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [n, v] : options_) {
    if (n == name) values.push_back(v);
  }
  return values;
}

Args Parse(std::span<const std::string_view> argv, std::span<const OptionSpec> options) {
  Args args;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {
      for (++i; i < argv.size(); ++i) args.operands_.emplace_back(argv[i]);
      break;
    }
    if (arg.size() < 3 || !arg.starts_with("--")) {
      args.operands_.emplace_back(arg);
      continue;
    }
    std::string_view name = arg.substr(2);
    std::optional<std::string_view> inline_value;
    if (const auto eq = name.find('='); eq != name.npos) {
      inline_value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const OptionSpec* option = nullptr;
    for (const OptionSpec& s : options) {
      if (s.name == name) option = &s;
    }
    if (option == nullptr) throw UsageError("unknown option --" + std::string(name));
    if (option->value.empty()) {
      if (inline_value) throw UsageError("option --" + std::string(name) + " takes no value");
      args.options_.emplace_back(name, "");
    } else if (inline_value) {
      args.options_.emplace_back(name, *inline_value);
    } else if (option->value.starts_with('[')) {
      const bool number = i + 1 < argv.size() && !argv[i + 1].empty() &&
                          ((argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9') || argv[i + 1][0] == '.');
      args.options_.emplace_back(name, number ? argv[++i] : std::string_view());
    } else if (i + 1 < argv.size()) {
      args.options_.emplace_back(name, argv[++i]);
    } else {
      throw UsageError("option --" + std::string(name) + " needs a value (" +
                       std::string(option->value) + ")");
    }
  }
  return args;
}

void PrintHelp(const Command& command) {
  std::printf("Usage: korvix %.*s %.*s\n\n%.*s\n", int(command.name.size()), command.name.data(),
              int(command.usage.size()), command.usage.data(), int(command.description.size()),
              command.description.data());
  std::printf("\nOptions:\n");
  for (const OptionSpec& o : command.options) {
    std::string left = "--";
    left.append(o.name);
    if (!o.value.empty()) left.append(" ").append(o.value);
    std::printf("  %-24s %.*s\n", left.c_str(), int(o.help.size()), o.help.data());
  }
  std::printf("  %-24s %s\n", "--help", "show this help");
}

}  // namespace korvix::cli
