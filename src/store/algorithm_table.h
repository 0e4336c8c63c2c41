// The statements that the component issues on the algorithm table and the
// staff table, and how their values read.
//
// A value goes into its statement as the connection's session reads it back
// unchanged (db::StringLiteralBody): its quotes doubled, and its backslashes
// too where the session reads them as escapes. So on a default server the
// text for a value without quotes is exactly the one shown, and on no server
// can a value change what a statement selects. A null connection gives the
// text with quotes doubled (it cannot run anyway).
#ifndef KORVIX_STORE_ALGORITHM_TABLE_H_
#define KORVIX_STORE_ALGORITHM_TABLE_H_

#include <string>
#include <string_view>

#include "korvix/db/connection.h"
#include "db/recordset.h"

namespace korvix {

// "Select * From DoubletAlgorithms Order By AlgorithmCode"
std::string AllAlgorithmsStatement();
// "Select * From DoubletAlgorithms Where PersonalNr='NR' or PersonalNr='-' Order By AlgorithmCode"
std::string VisibleAlgorithmsStatement(db::Connection* connection, std::string_view personal_nr);
// "Select * From Personalstamm Where PersonalNr='NR'"
std::string StaffStatement(db::Connection* connection, std::string_view personal_nr);
// "Select * From DoubletAlgorithms Where AlgorithmCode='CODE' And PersonalNr='OWNER'"
std::string AlgorithmStatement(db::Connection* connection, std::string_view code,
                               std::string_view owner);
// "Select * From DoubletAlgorithms Where AlgorithmCode='CODE' And PersonalNr='-'"
std::string PublicAlgorithmStatement(db::Connection* connection, std::string_view code);

// Reads column `name` of the current row as text, Null as "", into *out;
// false (leaving *out alone) when the read failed.
bool ReadText(const db::Recordset& rs, std::string_view name, std::string* out);

}  // namespace korvix

#endif  // KORVIX_STORE_ALGORITHM_TABLE_H_
