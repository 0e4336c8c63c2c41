#include "store/algorithm_table.h"

#include "db/backend.h"

namespace korvix {

using db::StringLiteralBody;

std::string AllAlgorithmsStatement() {
  return "Select * From DoubletAlgorithms Order By AlgorithmCode";
}

std::string VisibleAlgorithmsStatement(db::Connection* connection, std::string_view personal_nr) {
  return "Select * From DoubletAlgorithms Where PersonalNr='" +
         StringLiteralBody(connection, personal_nr) + "' or PersonalNr='-' Order By AlgorithmCode";
}

std::string StaffStatement(db::Connection* connection, std::string_view personal_nr) {
  return "Select * From Personalstamm Where PersonalNr='" +
         StringLiteralBody(connection, personal_nr) + "'";
}

std::string AlgorithmStatement(db::Connection* connection, std::string_view code,
                               std::string_view owner) {
  return "Select * From DoubletAlgorithms Where AlgorithmCode='" +
         StringLiteralBody(connection, code) + "' And PersonalNr='" +
         StringLiteralBody(connection, owner) + "'";
}

std::string PublicAlgorithmStatement(db::Connection* connection, std::string_view code) {
  return "Select * From DoubletAlgorithms Where AlgorithmCode='" +
         StringLiteralBody(connection, code) + "' And PersonalNr='-'";
}

bool ReadText(const db::Recordset& rs, std::string_view name, std::string* out) {
  db::Value value;
  if (!rs.Field(name, &value)) return false;
  *out = value.value_or(std::string());
  return true;
}

}  // namespace korvix
