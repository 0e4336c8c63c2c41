// The subcommands of the korvix command line, one file each, and the texts
// that introduce them.
#ifndef KORVIX_TOOLS_COMMANDS_H_
#define KORVIX_TOOLS_COMMANDS_H_

#include <span>
#include <string>

#include "cli.h"
#include "korvix/version.h"

namespace korvix::cli {

extern const Command kKeyCommand;
extern const Command kSoundexCommand;
extern const Command kDescribeCommand;
extern const Command kDedupeCommand;
extern const Command kReviewCommand;
extern const Command kExplainCommand;
extern const Command kEvaluateCommand;
extern const Command kInitCommand;
extern const Command kNameCommand;
extern const Command kAlgorithmsCommand;
extern const Command kAlgorithmsAddCommand;     // korvix algorithms add
extern const Command kAlgorithmsRemoveCommand;  // korvix algorithms remove
extern const Command kAlgorithmsRenameCommand;  // korvix algorithms rename
extern const Command kDecisionsCommand;
extern const Command kIndexCommand;
extern const Command kMatchCommand;
extern const Command kDialogCommand;

// What --version prints, "korvix 2.0.0".
inline constexpr std::string_view kVersion = "korvix " KORVIX_VERSION;

// Every command of this build, in the order of the overview.
std::span<const Command* const> AllCommands();

// The paragraphs after the list of commands: exit statuses, environment
// and files, each "Heading: text".
inline constexpr std::string_view kExitStatusText =
    "Exit status: 0 when done, 1 when a file or database cannot be used, a write fails or\n"
    "the store refuses a change, 2 when the command line is wrong.";
inline constexpr std::string_view kEnvironmentText =
    "Environment: The tool's own database is $XDG_DATA_HOME/korvix/korvix.sqlite, else\n"
    "~/.local/share/korvix/korvix.sqlite. The progress line of dedupe shows only when\n"
    "standard error is a terminal and TERM is set and not \"dumb\". The tool writes no\n"
    "colour and no escape sequences, NO_COLOR set or not.";

// The text of 'korvix --help'.
std::string Overview();

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_COMMANDS_H_
