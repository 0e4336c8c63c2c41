// korvix_screenshots DIR: draws the selection dialog, its first entry
// selected, and the editor on that entry offscreen into DIR/select.png and
// DIR/editor.png, over the sample algorithms of `korvix init` and as an
// administrator, who may open every entry: the same pictures on every machine.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "database.h"
#include "korvix/doublet_functions.h"
#include "korvix/ui/qt_toolkit.h"
#include "korvix/ui/toolkit.h"

namespace {

namespace fs = std::filesystem;

// A SQLite file of the samples, removed again at the end of the scope.
class SampleDatabase {
 public:
  SampleDatabase()
      : path_(fs::temp_directory_path() /
              ("korvix-screenshots-" + std::to_string(::getpid()) + ".sqlite")) {
    fs::remove(path_);
    connection_ = korvix::cli::OpenTarget(path_.string(), /*create=*/true);
    korvix::cli::InitializeDatabase(*connection_, path_.string());
  }
  SampleDatabase(const SampleDatabase&) = delete;
  SampleDatabase& operator=(const SampleDatabase&) = delete;
  ~SampleDatabase() {
    connection_.reset();
    std::error_code ignored;
    fs::remove(path_, ignored);
  }

  korvix::db::Connection* connection() const { return connection_.get(); }

 private:
  fs::path path_;
  std::unique_ptr<korvix::db::Connection> connection_;
};

// Returns the names of the pictures not written.
std::string Draw(const fs::path& dir) {
  const SampleDatabase samples;
  const std::string select_png = (dir / "select.png").string();
  const std::string editor_png = (dir / "editor.png").string();
  korvix::ui::ScriptedQtToolkit toolkit;
  bool select_saved = false;
  bool editor_saved = false;
  toolkit.QueueScript("frmSelect", [&](korvix::ui::User& user) {
    if (user.State({"Liste"}).list_index < 0) user.Select({"Liste"}, 0);
    select_saved = toolkit.SaveWindowImage(select_png);
    // The editor opens on the selected entry and closes unsaved.
    user.Click({"btnEdit"});
  });
  toolkit.QueueScript("frmAlgorithm", [&](korvix::ui::User&) {
    editor_saved = toolkit.SaveWindowImage(editor_png);
  });
  korvix::ui::SetDefaultToolkit(&toolkit);
  korvix::DoubletFunctions().ShowDlg(samples.connection(), "", "", /*IsAdmin=*/true,
                                     /*AllowSelect=*/true);
  korvix::ui::SetDefaultToolkit(nullptr);
  std::string missing;
  if (!select_saved) missing += " " + select_png;
  if (!editor_saved) missing += " " + editor_png;
  return missing;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvix_screenshots DIR\n");
    return 2;
  }
  // Pictures, not windows: nothing needs a display.
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/1);
  try {
    const fs::path dir = argv[1];
    fs::create_directories(dir);
    const std::string missing = Draw(dir);
    if (!missing.empty()) {
      std::fprintf(stderr, "korvix_screenshots: cannot write%s\n", missing.c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvix_screenshots: %s\n", e.what());
    return 1;
  }
  std::printf("%s/select.png\n%s/editor.png\n", argv[1], argv[1]);
  return 0;
}
