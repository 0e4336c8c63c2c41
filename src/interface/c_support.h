// Shared pieces of the C interface (korvix/korvix.h): what its handles hold
// and how strings and errors cross the boundary.
#ifndef KORVIX_INTERFACE_C_SUPPORT_H_
#define KORVIX_INTERFACE_C_SUPPORT_H_

#include <exception>
#include <memory>
#include <new>
#include <string_view>

#include "korvix/db/connection.h"
#include "korvix/doublet_functions.h"
#include "korvix/error.h"
#include "korvix/korvix.h"

struct korvix_doublet_functions_t {
  korvix::DoubletFunctions object;
};

struct korvix_connection_t {
  std::unique_ptr<korvix::db::Connection> connection;
};

namespace korvix::c_api {

// A C string argument as a view; NULL reads as "" (an omitted argument).
inline std::string_view Arg(const char* text) {
  return text == nullptr ? std::string_view() : std::string_view(text);
}

// An automation Boolean: any non-zero value is true.
inline bool IsTrue(korvix_bool value) { return value != 0; }
inline korvix_bool ToBool(bool value) { return value ? KORVIX_TRUE : KORVIX_FALSE; }

// A new NUL-terminated copy in memory that korvix_free() releases; null
// when memory ran out.
char* CopyString(std::string_view text) noexcept;

// Replaces the message in *errptr (when errptr is not null) with `message`,
// bytes that are not UTF-8 shown as \xNN.
void SetError(char** errptr, std::string_view message) noexcept;

// Runs `work` and returns its result. Here the C++ API's errors become the C
// interface's, and nowhere else: C has no codes, so a korvix::Error of any
// code returns `failed` with the error's message in *errptr; so does
// running out of memory, as "out of memory". No exception unwinds into C.
template <typename Result, typename Work>
Result Guarded(char** errptr, Result failed, Work&& work) noexcept {
  try {
    return work();
  } catch (const Error& e) {
    SetError(errptr, e.what());
  } catch (const std::bad_alloc&) {
    SetError(errptr, "out of memory");
  } catch (const std::exception& e) {
    SetError(errptr, e.what());
  } catch (...) {
    SetError(errptr, "an unexpected error");
  }
  return failed;
}

}  // namespace korvix::c_api

#endif  // KORVIX_INTERFACE_C_SUPPORT_H_
