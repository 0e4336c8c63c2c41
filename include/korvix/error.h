// How the C++ API reports failure.
//
// A function that can fail throws korvix::Error, whose code says what kind
// of failure it was and whose message says why in words fit for the user.
// Nothing else is thrown, except std::bad_alloc when memory runs out.
// Functions that cannot fail (building keys, the phonetic code, describing
// a code) are not marked by any of this; an outcome that is not a failure
// (no row to delete, an overwrite declined, a text that is not a
// description) is a result, not an exception. The five methods of
// DoubletFunctions never throw: each returns whatever result stands when its
// work ends.
//
//   try {
//     auto connection = korvix::db::OpenDatabase("kunden.sqlite");
//   } catch (const korvix::Error& e) {
//     // e.code() == korvix::ErrorCode::kDatabase, e.what() says why
//   }
#ifndef KORVIX_ERROR_H_
#define KORVIX_ERROR_H_

#include <stdexcept>
#include <string>

#include "korvix/export.h"

namespace korvix {

enum class ErrorCode {
  kInvalidArgument,  // the call or its options are wrong (a CSV header that does not fit them too)
  kIo,               // a file cannot be read or written, or holds what cannot be used
  kDatabase,         // a database cannot be opened, or a statement on it failed
  kRefused,          // the acting user may not do this, or the work needs more memory than
                     // it may take; nothing was written
};

class KORVIX_EXPORT Error : public std::runtime_error {
 public:
  Error(ErrorCode code, const std::string& message);
  ~Error() override;

  ErrorCode code() const noexcept { return code_; }

 private:
  ErrorCode code_;
};

}  // namespace korvix

#endif  // KORVIX_ERROR_H_
