#include "cli.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <map>

namespace korvix::cli {
namespace {

constexpr std::pair<char, std::string_view> kShortNames[] = {
    {'a', "algorithm"}, {'n', "name"}, {'o', "output"}, {'f', "format"}, {'q', "quiet"},
};

bool OptionalValue(const OptionDef& def) { return def.value.starts_with('['); }

const OptionDef* Find(std::span<const OptionDef> options, std::string_view arg) {
  if (!arg.starts_with("--")) return nullptr;
  for (const OptionDef& s : options) {
    if (s.name == arg.substr(2)) return &s;
  }
  return nullptr;
}

bool TakesValue(const OptionDef* def) {
  return def != nullptr && !def->value.empty() && !OptionalValue(*def);
}

// Whether the short option (or bundle of flags) `arg` takes the next
// argument for its value: its last letter needs one ("-a", "-qa").
bool TakesNextArgument(std::string_view arg, std::span<const OptionDef> options) {
  for (std::size_t i = 1; i < arg.size(); ++i) {
    for (const OptionDef& s : options) {
      if (ShortName(s.name) == arg[i] && TakesValue(&s)) return i + 1 == arg.size();
    }
  }
  return false;
}

bool IsNumber(std::string_view arg) {
  return !arg.empty() && ((arg[0] >= '0' && arg[0] <= '9') || arg[0] == '.');
}

// CLI11's arguments, last first. An option whose value may be left out is a
// flag there, so that it never takes an operand for its value; a number
// after it is joined to it as "--name=NUMBER". A flag given a value is
// refused here, in the words of the other messages.
std::vector<std::string> ReversedArguments(std::span<const std::string_view> argv,
                                           std::span<const OptionDef> options) {
  std::vector<std::string> args;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    std::string arg(argv[i]);
    const std::size_t eq = arg.find('=');
    const OptionDef* def = Find(options, std::string_view(arg).substr(0, eq));
    if (arg == "--") {
      args.insert(args.end(), argv.begin() + static_cast<std::ptrdiff_t>(i), argv.end());
      break;
    }
    if (def != nullptr && def->value.empty() && eq != std::string::npos) {
      throw UsageError("option --" + std::string(def->name) + " takes no value");
    }
    const bool value_follows = eq == std::string::npos && i + 1 < argv.size();
    if (value_follows && def != nullptr && OptionalValue(*def) && IsNumber(argv[i + 1])) {
      arg.append("=").append(argv[++i]);
    }
    args.push_back(std::move(arg));
    // A value is passed on as it is, whatever it looks like.
    if (value_follows &&
        (TakesValue(def) || (!argv[i].starts_with("--") && argv[i].starts_with('-') &&
                              TakesNextArgument(argv[i], options)))) {
      args.emplace_back(argv[++i]);
    }
  }
  return {args.rbegin(), args.rend()};
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

}  // namespace

char ShortName(std::string_view name) {
  for (const auto& [letter, long_name] : kShortNames) {
    if (long_name == name) return letter;
  }
  return 0;
}

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

Args Parse(std::span<const std::string_view> argv, std::span<const OptionDef> options) {
  CLI::App app;
  app.set_help_flag();  // main answers --help itself, with the help texts of the commands
  app.allow_extras();   // unknown options are reported below
  std::map<const CLI::Option*, const OptionDef*> defs;
  for (const OptionDef& def : options) {
    std::string names = "--" + std::string(def.name);
    if (const char letter = ShortName(def.name)) names = std::string{'-', letter, ','} + names;
    CLI::Option* option;
    if (def.value.empty() || OptionalValue(def)) {
      option = app.add_flag(names);
    } else {
      option = app.add_option(names)->type_name(std::string(def.value))->take_all();
    }
    defs.emplace(option, &def);
  }
  CLI::Option* operands = app.add_option("operands")
                              ->expected(0, CLI::detail::expected_max_vector_size)
                              ->allow_extra_args()
                              ->take_all();
  std::vector<std::string> reversed = ReversedArguments(argv, options);
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  // CLI11 keeps a "--" among the unknown arguments, for passing them on.
  for (const std::string& unknown : app.remaining()) {
    if (unknown != "--") throw UsageError("unknown option " + unknown);
  }
  Args args;
  args.operands_ = operands->results();
  // The options in the order given, each occurrence with its own value.
  std::map<const CLI::Option*, std::size_t> taken;
  for (const CLI::Option* option : app.parse_order()) {
    const auto def = defs.find(option);
    if (def == defs.end()) continue;  // an operand
    const std::string& result = option->results()[taken[option]++];
    // A flag's result says only that it was given; "--verify" alone reads "true".
    const bool flag =
        def->second->value.empty() || (OptionalValue(*def->second) && result == "true");
    args.options_.emplace_back(def->second->name, flag ? std::string() : result);
  }
  return args;
}

unsigned Threads(const Args& args) {
  const std::optional<std::string> given = args.Value("threads");
  if (!given) return 0;
  unsigned threads = 0;
  const char* end = given->data() + given->size();
  const auto [ptr, ec] = std::from_chars(given->data(), end, threads);
  if (ec != std::errc() || ptr != end || threads < 1 || threads > 1024) {
    throw UsageError("--threads takes a number from 1 to 1024, not '" + *given + "'");
  }
  return threads;
}

void ExpectNoOperands(const Args& args) {
  if (!args.operands().empty()) {
    throw UsageError("unexpected argument '" + args.operands()[0] + "'");
  }
}

std::string HelpText(const Command& command, std::string_view path) {
  std::string text = "Usage: " + std::string(path) + " " + std::string(command.usage) + "\n\n" +
                     std::string(command.description) + "\n\nOptions:\n";
  const auto line = [&](char letter, std::string_view name, std::string_view value,
                        std::string_view help) {
    std::string left = letter != 0 ? std::string{'-', letter, ',', ' '} : std::string(4, ' ');
    left.append("--").append(name);
    if (!value.empty()) left.append(" ").append(value);
    text.append("  ").append(Padded(left, 26)).append(" ").append(help).append("\n");
  };
  for (const OptionDef& o : command.options) line(ShortName(o.name), o.name, o.value, o.help);
  line('h', "help", "", "show this help");
  line(0, "version", "", "show the version");
  if (!command.subcommands.empty()) {
    text += "\nCommands:\n";
    for (const Command* sub : command.subcommands) {
      text.append("  ").append(Padded(std::string(sub->name), 12)).append(" ");
      text.append(sub->summary).append("\n");
    }
    text += "\nRun '" + std::string(path) + " COMMAND --help' for the options of a command.\n";
  }
  return text;
}

}  // namespace korvix::cli
