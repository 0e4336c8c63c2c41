#include "commands.h"

namespace korvix::cli {
namespace {

const Command* const kCommands[] = {
    &kDedupeCommand, &kReviewCommand, &kMatchCommand, &kIndexCommand, &kExplainCommand, &kEvaluateCommand, &kKeyCommand,  &kSoundexCommand,    &kDescribeCommand,
    &kInitCommand,   &kNameCommand,    &kAlgorithmsCommand, &kDecisionsCommand, &kDialogCommand,
};

}  // namespace

std::span<const Command* const> AllCommands() { return kCommands; }

std::string Overview() {
  std::string text =
      "Usage: korvix COMMAND [OPTIONS] [FILE...]\n\n"
      "Duplicate keys for address and customer records.\n\nCommands:\n";
  for (const Command* c : kCommands) {
    std::string name(c->name);
    if (name.size() < 12) name.resize(12, ' ');
    text.append("  ").append(name).append(" ").append(c->summary).append("\n");
  }
  text += "\nRun 'korvix COMMAND --help' for the options of a command.\n\n";
  text.append(kExitStatusText).append("\n\n").append(kEnvironmentText).append("\n");
  return text;
}

}  // namespace korvix::cli
