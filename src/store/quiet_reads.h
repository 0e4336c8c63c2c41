// The reads of the algorithm table as the dialogs and DoubletFunctions make
// them: a failed step is skipped, not thrown, and the caller goes on with
// what could be read. The public functions of korvix/algorithm_store.h are
// these, throwing when anything failed.
#ifndef KORVIX_STORE_QUIET_READS_H_
#define KORVIX_STORE_QUIET_READS_H_

#include <string>
#include <string_view>
#include <vector>

#include "korvix/algorithm_store.h"

namespace korvix::store {

// ReadVisibleAlgorithms, except that a query that fails gives no rows and a
// failure while reading ends the list after the row it happened in, whose
// unread values stay empty. Either way *error (if not null) says why; it is
// left alone when everything was read.
std::vector<AlgorithmEntry> ReadVisibleAlgorithmsQuietly(db::Connection* connection,
                                                         std::string_view personal_nr,
                                                         bool is_admin, std::string* error);

// LookupAlgorithmName, except that a table that cannot be read gives the
// description of the code too, with *error (if not null) saying why.
std::string LookupAlgorithmNameQuietly(db::Connection* connection, std::string_view algorithm,
                                       std::string_view personal_nr,
                                       std::string* error) noexcept;

}  // namespace korvix::store

#endif  // KORVIX_STORE_QUIET_READS_H_
