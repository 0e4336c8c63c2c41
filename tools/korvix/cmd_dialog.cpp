// korvix dialog: the selection dialog in a real window, as a host shows it.
#include "commands.h"
#include "database.h"
#include "dialog_window.h"
#include "output.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {
    kDbOption,
    kUserOption,
    kAdminOption,
    {"algorithm", "CODE", "the current algorithm, code or readable form: selected at first"},
    {"no-select", "", "offer no \"Auswählen\"; a double click edits the entry instead"},
};

// Exit status when the user closes the dialog without choosing.
constexpr int kExitNoChoice = 1;

int Run(const Args& args) {
  ExpectNoOperands(args);
  const ChosenAlgorithm chosen = ChooseInWindow(args, !args.Has("no-select"));
  if (chosen.code.empty()) return kExitNoChoice;
  Output out;
  out.Line(chosen.code + "\t" + chosen.name);
  out.Finish();
  return kExitOk;
}

}  // namespace

extern const Command kDialogCommand = {
    "dialog", "choose an algorithm in the selection dialog",
    "[--db PATH|URI] [--user NR] [--admin] [--algorithm CODE] [--no-select]",
    "Shows the selection dialog in a window, as a host's ShowDlg does: list, details, and the\n"
    "commands New, Edit and Delete, which change the database. Prints the chosen code and its\n"
    "name, separated by a tab, and exits 0; prints nothing and exits 1 when the dialog is\n"
    "closed without a choice. The windows are those of libkorvix-qt, loaded when the command\n"
    "runs: the tool starts without Qt, and only this command and dedupe --choose need it.",
    kOptions, Run};

}  // namespace korvix::cli
