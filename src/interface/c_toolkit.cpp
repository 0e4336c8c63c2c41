// The C interface: choosing the dialog toolkit.
//
// The Qt windows live in libkorvix-qt, which depends on this library, so
// this library must not link it. Choosing "qt" loads it at run time and asks
// it for its toolkit through one C entry that it exports:
//
//   extern "C" korvix::ui::Toolkit* korvix_qt_toolkit(char** errptr);
//
// which returns a toolkit that lives until the process ends (creating the
// application object if the host has none), or null with a malloc()ed
// message in *errptr when no window can be shown.
#include <dlfcn.h>

#include <string>

#include "interface/c_support.h"
#include "korvix/ui/toolkit.h"
#include "korvix/version.h"

using korvix::c_api::Arg;
using korvix::c_api::SetError;

namespace {

// The file names of libkorvix-qt: same major version as this library first.
constexpr const char* kQtLibraries[] = {"libkorvix-qt.so." KORVIX_SOVERSION, "libkorvix-qt.so"};
constexpr const char* kQtEntry = "korvix_qt_toolkit";

using QtEntry = korvix::ui::Toolkit* (*)(char**);

// The directory this library was loaded from, with a trailing "/", or "".
// An installed libkorvix-qt sits there, whatever the host's search path.
std::string OwnDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&korvix_use_toolkit), &info) == 0 ||
      info.dli_fname == nullptr) {
    return std::string();
  }
  const std::string path = info.dli_fname;
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Loads libkorvix-qt (never unloaded: its toolkit must outlive every dialog)
// and returns its toolkit, or null with *error set.
korvix::ui::Toolkit* LoadQtToolkit(std::string* error) {
  void* library = nullptr;
  const std::string directory = OwnDirectory();
  for (const char* name : kQtLibraries) {
    if (!directory.empty()) library = dlopen((directory + name).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (library != nullptr) break;
  }
  if (library == nullptr) {
    const char* why = dlerror();
    *error = "the Qt toolkit is not available: cannot load libkorvix-qt";
    if (why != nullptr) *error += std::string(" (") + why + ")";
    return nullptr;
  }
  void* symbol = dlsym(library, kQtEntry);
  if (symbol == nullptr) {
    *error = std::string("the Qt toolkit is not available: libkorvix-qt has no ") + kQtEntry;
    return nullptr;
  }
  char* why = nullptr;
  korvix::ui::Toolkit* toolkit = reinterpret_cast<QtEntry>(symbol)(&why);
  if (toolkit == nullptr) {
    *error = "the Qt toolkit cannot show windows";
    if (why != nullptr) *error += std::string(": ") + why;
  }
  korvix_free(why);
  return toolkit;
}

}  // namespace

extern "C" korvix_bool korvix_use_toolkit(const char* name, char** errptr) {
  return korvix::c_api::Guarded(errptr, KORVIX_FALSE, [&] {
    const std::string_view chosen = Arg(name);
    if (chosen == "headless") {
      korvix::ui::SetDefaultToolkit(nullptr);
      return KORVIX_TRUE;
    }
    if (chosen == "qt") {
      std::string error;
      korvix::ui::Toolkit* toolkit = LoadQtToolkit(&error);
      if (toolkit == nullptr) {
        SetError(errptr, error);
        return KORVIX_FALSE;
      }
      korvix::ui::SetDefaultToolkit(toolkit);
      return KORVIX_TRUE;
    }
    std::string message = "unknown dialog toolkit \"";
    message.append(chosen).append("\"; the toolkits are \"headless\" and \"qt\"");
    SetError(errptr, message);
    return KORVIX_FALSE;
  });
}
