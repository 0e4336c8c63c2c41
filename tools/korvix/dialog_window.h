// The selection dialog in a real window, for `korvix dialog` and
// `korvix dedupe --choose`. The tool loads the Qt toolkit only here, as any
// host does at run time, so that the other commands start without Qt.
#ifndef KORVIX_TOOLS_DIALOG_WINDOW_H_
#define KORVIX_TOOLS_DIALOG_WINDOW_H_

#include "algorithm_choice.h"
#include "cli.h"

namespace korvix::cli {

// Shows the selection dialog over the algorithms of the database (--db)
// that the user (--user, --admin) sees, --algorithm selected when it opens,
// and returns the code and list text chosen: an empty code when the dialog
// was closed without a choice. Throws IoError when there is no display or
// no Qt toolkit to show it with.
ChosenAlgorithm ChooseInWindow(const Args& args, bool allow_select);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_DIALOG_WINDOW_H_
