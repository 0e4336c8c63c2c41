// The display name of an algorithm for a member of staff.
#ifndef KORVIX_NAME_LOOKUP_H_
#define KORVIX_NAME_LOOKUP_H_

#include <string>
#include <string_view>

#include "korvix/error.h"
#include "korvix/export.h"

namespace korvix {

namespace db {
class Connection;
}

// Returns the name of the algorithm `algorithm` owned by `personal_nr`, else
// of the public algorithm with that code, as stored (blanks included). When
// the row found has a blank or Null name, or when no row is found, returns
// the description of the code instead. Only reads. Throws Error (kDatabase)
// when the table cannot be read (a null or closed connection included);
// DoubletFunctions::GetAlgorithmName gives the description then.
KORVIX_EXPORT std::string LookupAlgorithmName(db::Connection* connection,
                                              std::string_view algorithm,
                                              std::string_view personal_nr);

}  // namespace korvix

#endif  // KORVIX_NAME_LOOKUP_H_
