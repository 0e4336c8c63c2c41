// The entry by which libkorvix's C interface finds the Qt toolkit when a
// host chooses it at run time (korvix_use_toolkit("qt")): libkorvix cannot
// link this library, which depends on it, so it looks this name up instead.
#include "korvix/export.h"
#include "korvix/ui/qt_toolkit.h"

extern "C" KORVIX_EXPORT korvix::ui::Toolkit* korvix_qt_toolkit(char** /*errptr*/) {
  // Lives until the process ends, past every dialog; never destroyed, so no
  // Qt object outlives its application at exit.
  static korvix::ui::QtToolkit* const toolkit = new korvix::ui::QtToolkit();
  return toolkit;
}
