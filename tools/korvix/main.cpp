// korvix: an example host of the Korvix component and a batch tool for
// duplicate keys, phonetic codes, descriptions and duplicate finding.
#include <cstdio>
#include <string_view>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "korvix/version.h"

namespace korvix::cli {
namespace {

const Command* const kCommands[] = {
    &kDedupeCommand, &kKeyCommand,  &kSoundexCommand,    &kDescribeCommand,
    &kInitCommand,   &kNameCommand, &kAlgorithmsCommand,
#ifdef KORVIX_TOOL_DIALOG
    &kDialogCommand,
#endif
};

void PrintOverview(std::FILE* to) {
  std::fprintf(to,
               "Usage: korvix COMMAND [OPTIONS] [FILE...]\n\n"
               "Duplicate keys for address and customer records.\n\nCommands:\n");
  for (const Command* c : kCommands) {
    std::fprintf(to, "  %-12.*s %.*s\n", int(c->name.size()), c->name.data(),
                 int(c->summary.size()), c->summary.data());
  }
  std::fprintf(to, "\nRun 'korvix COMMAND --help' for the options of a command.\n");
}

int Main(int argc, char** argv) {
  const std::vector<std::string_view> all(argv + 1, argv + argc);
  if (all.empty()) {
    PrintOverview(stderr);
    return kExitUsage;
  }
  if (all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
    PrintOverview(stdout);
    return kExitOk;
  }
  if (all[0] == "--version") {
    std::printf("korvix %s\n", KORVIX_VERSION);
    return kExitOk;
  }
  const Command* command = nullptr;
  for (const Command* c : kCommands) {
    if (c->name == all[0]) command = c;
  }
  if (command == nullptr) {
    std::fprintf(stderr, "korvix: unknown command '%.*s'\n", int(all[0].size()), all[0].data());
    PrintOverview(stderr);
    return kExitUsage;
  }
  const std::span<const std::string_view> rest(all.begin() + 1, all.end());
  for (std::string_view a : rest) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      PrintHelp(*command);
      return kExitOk;
    }
  }
  const std::string name(command->name);
  try {
    return command->run(Parse(rest, command->options));
  } catch (const UsageError& e) {
    std::fprintf(stderr, "korvix %s: %s\nTry 'korvix %s --help'.\n", name.c_str(), e.what(),
                 name.c_str());
    return kExitUsage;
  } catch (const IoError& e) {
    std::fprintf(stderr, "korvix %s: %s\n", name.c_str(), e.what());
    return kExitIo;
  }
}

}  // namespace
}  // namespace korvix::cli

int main(int argc, char** argv) { return korvix::cli::Main(argc, argv); }
