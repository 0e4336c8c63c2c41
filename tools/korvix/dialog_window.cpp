#include "dialog_window.h"

#include <cstdlib>
#include <string>

#include "database.h"
#include "korvix/doublet_functions.h"
#include "korvix/korvix.h"
#include "korvix/ui/toolkit.h"

namespace korvix::cli {
namespace {

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// The Qt toolkit for one scope; headless again after it.
class QtToolkitScope {
 public:
  QtToolkitScope() {
    char* error = nullptr;
    if (korvix_use_toolkit("qt", &error) == KORVIX_FALSE) {
      const std::string message = error != nullptr ? error : "the Qt toolkit cannot be loaded";
      korvix_free(error);
      throw IoError(message);
    }
  }
  QtToolkitScope(const QtToolkitScope&) = delete;
  QtToolkitScope& operator=(const QtToolkitScope&) = delete;
  ~QtToolkitScope() { ui::SetDefaultToolkit(nullptr); }
};

}  // namespace

ChosenAlgorithm ChooseInWindow(const Args& args, bool allow_select) {
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
    throw IoError("no display to show the dialog on (DISPLAY and WAYLAND_DISPLAY are unset)");
  }
  const std::string current =
      args.Has("algorithm") ? AlgorithmCode(*args.Value("algorithm")) : std::string();
  const auto connection = OpenToolDatabase(args);
  const QtToolkitScope qt;
  ChosenAlgorithm chosen;
  chosen.code = DoubletFunctions().ShowDlg(connection.get(), current,
                                           args.Value("user").value_or(""), args.Has("admin"),
                                           allow_select, &chosen.name);
  return chosen;
}

}  // namespace korvix::cli
