// The subcommands of the korvix command line, one file each.
#ifndef KORVIX_TOOLS_COMMANDS_H_
#define KORVIX_TOOLS_COMMANDS_H_

#include "cli.h"

namespace korvix::cli {

extern const Command kKeyCommand;
extern const Command kSoundexCommand;
extern const Command kDescribeCommand;
extern const Command kDedupeCommand;
extern const Command kInitCommand;
extern const Command kNameCommand;
extern const Command kAlgorithmsCommand;
extern const Command kDialogCommand;  // only where Qt is found (KORVIX_TOOL_DIALOG)

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_COMMANDS_H_
