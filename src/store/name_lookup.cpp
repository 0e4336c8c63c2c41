// The name of an algorithm for a member of staff.
#include <optional>

#include "base/text.h"
#include "korvix/algorithm_store.h"
#include "korvix/description.h"
#include "db/recordset.h"
#include "store/algorithm_table.h"
#include "store/quiet_reads.h"

namespace korvix {
namespace {

// The name of the current row; stays empty when it cannot be read.
void ReadName(const db::Recordset& rs, std::string* name, std::string* error) {
  if (!ReadText(rs, "AlgorithmName", name) && error != nullptr) {
    *error = rs.last_error().empty() ? "a read failed" : rs.last_error();
  }
}

}  // namespace

std::string store::LookupAlgorithmNameQuietly(db::Connection* connection,
                                              std::string_view algorithm,
                                              std::string_view personal_nr,
                                              std::string* error) noexcept {
  db::Recordset rs;
  std::string name;
  (void)rs.Open(AlgorithmStatement(connection, algorithm, personal_nr), connection,
                db::adOpenKeyset, db::adLockReadOnly);
  // A failing end test counts as holding a row, as a skipped test enters its
  // branch: the read then fails too, and the public row is not tried.
  if (rs.Eof() != std::optional<bool>(true)) {
    ReadName(rs, &name, error);
  } else {
    rs.Close();
    (void)rs.Open(PublicAlgorithmStatement(connection, algorithm), connection, db::adOpenKeyset,
                  db::adLockReadOnly);
    if (rs.Eof() != std::optional<bool>(true)) ReadName(rs, &name, error);
  }
  rs.Close();
  if (text::TrimBlanks(std::string_view(name)).empty()) name = DescribeAlgorithm(algorithm);
  return name;
}

std::string LookupAlgorithmName(db::Connection* connection, std::string_view algorithm,
                                std::string_view personal_nr) {
  std::string error;
  std::string name = store::LookupAlgorithmNameQuietly(connection, algorithm, personal_nr, &error);
  if (!error.empty()) throw Error(ErrorCode::kDatabase, error);
  return name;
}

}  // namespace korvix
