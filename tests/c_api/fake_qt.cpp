// Stands in for libkorvix-qt on a machine where no window can be shown: it
// has the entry that korvix_use_toolkit("qt") looks for, and the entry fails.
#include <cstring>

namespace korvix::ui {
class Toolkit;
}

extern "C" __attribute__((visibility("default"))) korvix::ui::Toolkit* korvix_qt_toolkit(
    char** errptr) {
  if (errptr != nullptr) *errptr = strdup("no display in this test");
  return nullptr;
}
