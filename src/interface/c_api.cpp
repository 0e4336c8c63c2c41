// The C interface: objects, the five methods and memory.
//
// Every entry runs its work through Guarded (c_support.h), because an
// exception must never unwind into C.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "korvix/algorithm_code.h"
#include "korvix/text.h"
#include "interface/c_support.h"

namespace korvix::c_api {

char* CopyString(std::string_view text) noexcept {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) return nullptr;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void SetError(char** errptr, std::string_view message) noexcept {
  if (errptr == nullptr) return;
  std::free(*errptr);
  // A message may quote a host's argument (a path, a class name) whose bytes
  // are not UTF-8; the host gets valid UTF-8 all the same.
  try {
    *errptr = CopyString(korvix::MessageText(message));
  } catch (...) {
    *errptr = CopyString("out of memory");
  }
}

}  // namespace korvix::c_api

using korvix::c_api::Arg;
using korvix::c_api::CopyString;

namespace {

// The class holds no state, so the methods use one shared instance: a host's
// handle only has to exist, and a stray null handle cannot crash the host.
const korvix::DoubletFunctions kMethods;

// Runs `work`, which makes a std::string, and returns the result as a C
// string; null if anything went wrong on the way (in practice only running
// out of memory: the methods never fail).
template <typename Work>
char* Result(Work&& work) noexcept {
  return korvix::c_api::Guarded(nullptr, static_cast<char*>(nullptr),
                                [&] { return CopyString(work()); });
}

}  // namespace

extern "C" {

const char* korvix_version(void) { return KORVIX_VERSION; }

void korvix_free(void* ptr) { std::free(ptr); }

korvix_doublet_functions_t* korvix_create_object(const char* prog_id, char** errptr) {
  return korvix::c_api::Guarded(errptr, static_cast<korvix_doublet_functions_t*>(nullptr), [&] {
    if (Arg(prog_id) != korvix::kProgId) {
      std::string message = "no class is registered as ";
      if (prog_id == nullptr) {
        message += "(null)";
      } else {
        message.append("\"").append(prog_id).append("\"");
      }
      message.append("; the class of this library is \"").append(korvix::kProgId).append("\"");
      korvix::c_api::SetError(errptr, message);
      return static_cast<korvix_doublet_functions_t*>(nullptr);
    }
    return new korvix_doublet_functions_t;
  });
}

void korvix_release_object(korvix_doublet_functions_t* object) { delete object; }

char* korvix_BuildDoubletKey(const korvix_doublet_functions_t*, const char* Algorithm,
                             const char* Data) {
  return Result([&] { return kMethods.BuildDoubletKey(Arg(Algorithm), std::string(Arg(Data))); });
}

char* korvix_TranslateAlgorithm(const korvix_doublet_functions_t*, const char* Algorithm) {
  return Result([&] { return kMethods.TranslateAlgorithm(Arg(Algorithm)); });
}

char* korvix_GetAlgorithmName(const korvix_doublet_functions_t*, korvix_connection_t* Connection,
                              const char* Algorithm, const char* PersonalNr) {
  return Result([&] {
    korvix::db::Connection* connection =
        Connection == nullptr ? nullptr : Connection->connection.get();
    return kMethods.GetAlgorithmName(connection, Arg(Algorithm), Arg(PersonalNr));
  });
}

char* korvix_ShowDlg(const korvix_doublet_functions_t*, korvix_connection_t* Connection,
                     const char* Algorithm, const char* PersonalNr, korvix_bool IsAdmin,
                     const korvix_bool* AllowSelect, char** AlgorithmName) {
  return Result([&] {
    korvix::db::Connection* connection =
        Connection == nullptr ? nullptr : Connection->connection.get();
    const bool allow_select = AllowSelect == nullptr || korvix::c_api::IsTrue(*AllowSelect);
    // The method leaves the name alone without a choice, so starting from the
    // caller's value tells a change apart without guessing from the code.
    const std::string before(AlgorithmName == nullptr ? std::string_view() : Arg(*AlgorithmName));
    std::string name = before;
    std::string code = kMethods.ShowDlg(connection, Arg(Algorithm), Arg(PersonalNr),
                                        korvix::c_api::IsTrue(IsAdmin), allow_select, &name);
    if (AlgorithmName != nullptr && name != before) {
      char* chosen = CopyString(name);
      if (chosen == nullptr) throw std::bad_alloc();
      *AlgorithmName = chosen;
    }
    return code;
  });
}

char* korvix_BuildSoundexString(const korvix_doublet_functions_t*, const char* Text) {
  return Result([&] { return kMethods.BuildSoundexString(Arg(Text)); });
}

char* korvix_read_algorithm(const char* given, char** errptr) {
  return korvix::c_api::Guarded(errptr, static_cast<char*>(nullptr), [&] {
    char* code = CopyString(korvix::ReadAlgorithm(Arg(given)));
    if (code == nullptr) throw std::bad_alloc();
    return code;
  });
}

}  // extern "C"
