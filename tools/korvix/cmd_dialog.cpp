// korvix dialog: the selection dialog in real windows, as a host shows it,
// and pictures of both dialogs for the documentation.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "algorithm_choice.h"
#include "commands.h"
#include "database.h"
#include "korvix/doublet_functions.h"
#include "korvix/ui/qt_toolkit.h"
#include "korvix/ui/toolkit.h"
#include "output.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {
    kDbOption,
    kUserOption,
    kAdminOption,
    {"algorithm", "CODE", "the current algorithm, code or readable form: selected at first"},
    {"no-select", "", "offer no \"Auswählen\"; a double click edits the entry instead"},
    {"screenshot", "DIR", "draw both dialogs offscreen into DIR/select.png and DIR/editor.png"},
};

// Exit status when the user closes the dialog without choosing.
constexpr int kExitNoChoice = 1;

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// The --algorithm to select when the dialog opens, "" for none.
std::string Current(const Args& args) {
  const auto given = args.Value("algorithm");
  return given ? AlgorithmCode(*given) : std::string();
}

// Makes the toolkit the one ShowDlg uses, for one scope.
class DefaultToolkitScope {
 public:
  explicit DefaultToolkitScope(ui::Toolkit& toolkit) { ui::SetDefaultToolkit(&toolkit); }
  DefaultToolkitScope(const DefaultToolkitScope&) = delete;
  DefaultToolkitScope& operator=(const DefaultToolkitScope&) = delete;
  ~DefaultToolkitScope() { ui::SetDefaultToolkit(nullptr); }
};

// A SQLite file of the samples that `korvix init` writes, removed again at
// the end of the scope: the same pictures on every machine.
class SampleDatabase {
 public:
  SampleDatabase()
      : path_(std::filesystem::temp_directory_path() /
              ("korvix-dialog-" + std::to_string(::getpid()) + ".sqlite")) {
    std::filesystem::remove(path_);
    connection_ = OpenTarget(path_.string(), /*create=*/true);
    InitializeDatabase(*connection_, path_.string());
  }
  SampleDatabase(const SampleDatabase&) = delete;
  SampleDatabase& operator=(const SampleDatabase&) = delete;
  ~SampleDatabase() {
    connection_.reset();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }

  db::Connection* connection() const { return connection_.get(); }

 private:
  std::filesystem::path path_;
  std::unique_ptr<db::Connection> connection_;
};

int RunScreenshots(const Args& args, const std::filesystem::path& dir) {
  // Pictures, not windows: nothing needs a display.
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/1);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw IoError("cannot create " + dir.string() + ": " + ec.message());
  std::unique_ptr<db::Connection> given;
  std::unique_ptr<SampleDatabase> samples;
  if (args.Value("db")) {
    given = OpenToolDatabase(args);
  } else {
    samples = std::make_unique<SampleDatabase>();
  }
  db::Connection* connection = given ? given.get() : samples->connection();

  const std::string select_png = (dir / "select.png").string();
  const std::string editor_png = (dir / "editor.png").string();
  ui::ScriptedQtToolkit toolkit;
  bool select_saved = false;
  bool editor_saved = false;
  toolkit.QueueScript("frmSelect", [&](ui::User& user) {
    if (user.State({"Liste"}).list_index < 0) user.Select({"Liste"}, 0);
    select_saved = toolkit.SaveWindowImage(select_png);
    // The editor opens on the selected entry and closes unsaved.
    user.Click({"btnEdit"});
  });
  toolkit.QueueScript("frmAlgorithm",
                      [&](ui::User&) { editor_saved = toolkit.SaveWindowImage(editor_png); });
  {
    const DefaultToolkitScope scope(toolkit);
    // As an administrator, who may open every entry in the editor.
    DoubletFunctions().ShowDlg(connection, Current(args),
                               args.Value("user").value_or(""), /*IsAdmin=*/true,
                               /*AllowSelect=*/true);
  }
  if (!select_saved) throw IoError("cannot write " + select_png);
  if (!editor_saved) throw IoError("cannot write " + editor_png + " (no entry to edit?)");
  Output out;
  out.Line(select_png);
  out.Line(editor_png);
  out.Finish();
  return kExitOk;
}

int Run(const Args& args) {
  ExpectNoOperands(args);
  if (const auto dir = args.Value("screenshot")) return RunScreenshots(args, *dir);
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
    throw IoError("no display to show the dialog on (DISPLAY and WAYLAND_DISPLAY are unset)");
  }
  const auto connection = OpenToolDatabase(args);
  ui::QtToolkit toolkit;
  std::string name;
  std::string code;
  {
    const DefaultToolkitScope scope(toolkit);
    code = DoubletFunctions().ShowDlg(connection.get(), Current(args),
                                      args.Value("user").value_or(""), args.Has("admin"),
                                      !args.Has("no-select"), &name);
  }
  if (code.empty()) return kExitNoChoice;
  Output out;
  out.Line(code + "\t" + name);
  out.Finish();
  return kExitOk;
}

}  // namespace

extern const Command kDialogCommand = {
    "dialog", "choose an algorithm in the selection dialog",
    "[--db PATH|URI] [--user NR] [--admin] [--algorithm CODE] [--no-select] [--screenshot DIR]",
    "Shows the selection dialog in a window, as a host's ShowDlg does: list, details, and the\n"
    "commands New, Edit and Delete, which change the database. Prints the chosen code and its\n"
    "name, separated by a tab, and exits 0; prints nothing and exits 1 when the dialog is\n"
    "closed without a choice.\n\n"
    "With --screenshot DIR nothing is shown: the selection dialog, with --algorithm or the first\n"
    "entry selected, and the editor on that entry are drawn offscreen into DIR/select.png and\n"
    "DIR/editor.png, as an administrator, over the sample algorithms of 'korvix init' unless\n"
    "--db is given.",
    kOptions, Run};

}  // namespace korvix::cli
