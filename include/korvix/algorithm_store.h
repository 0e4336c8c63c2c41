// The algorithm table: its statements, the owner column, the rights of users
// and the reading of the rows a user may see.
//
// Table DoubletAlgorithms (AlgorithmCode, PersonalNr, AlgorithmName,
// Description) holds one row per algorithm; the owner column PersonalNr is a
// staff number, or "-" for a public algorithm that every user sees. The
// host's staff table Personalstamm (PersonalNr, Titel, Vorname, Nachname)
// gives owners their names. Both tables belong to the host: the component
// never creates, alters or drops a table.
#ifndef KORVIX_ALGORITHM_STORE_H_
#define KORVIX_ALGORITHM_STORE_H_

#include <string>
#include <string_view>
#include <vector>

#include "korvix/db/recordset.h"
#include "korvix/export.h"

namespace korvix {

namespace db {
class Connection;
}

// ---- Statements. Every SQL text the component issues is made here. A value
// goes between single quotes with its own quotes doubled, so for a value
// without quotes the text is exactly the one shown, and no value can change
// what a statement selects.

// "Select * From DoubletAlgorithms Order By AlgorithmCode"
KORVIX_EXPORT std::string AllAlgorithmsStatement();
// "Select * From DoubletAlgorithms Where PersonalNr='NR' or PersonalNr='-' Order By AlgorithmCode"
KORVIX_EXPORT std::string VisibleAlgorithmsStatement(std::string_view personal_nr);
// "Select * From Personalstamm Where PersonalNr='NR'"
KORVIX_EXPORT std::string StaffStatement(std::string_view personal_nr);
// "Select * From DoubletAlgorithms Where AlgorithmCode='CODE' And PersonalNr='OWNER'"
KORVIX_EXPORT std::string AlgorithmStatement(std::string_view code, std::string_view owner);
// "Select * From DoubletAlgorithms Where AlgorithmCode='CODE' And PersonalNr='-'"
KORVIX_EXPORT std::string PublicAlgorithmStatement(std::string_view code);

// ---- Owners and rights.

// The owner value of a public algorithm.
inline constexpr std::string_view kPublicOwner = "-";

// True iff `owner` is exactly the public marker "-" (no blanks, no case folding).
KORVIX_EXPORT bool IsPublicOwner(std::string_view owner);

// An administrator sees every row; anybody else the public rows and the rows
// of the own staff number.
KORVIX_EXPORT bool MaySee(std::string_view owner, std::string_view personal_nr, bool is_admin);
// An administrator, or a user whose staff number is not blank.
KORVIX_EXPORT bool MayCreate(std::string_view personal_nr, bool is_admin);
// An administrator any listed row; anybody else a listed row that is not public.
KORVIX_EXPORT bool MayEdit(std::string_view owner, bool is_admin);
KORVIX_EXPORT bool MayDelete(std::string_view owner, bool is_admin);

// ---- Reading.

// A column value read as text: Null reads as "".
inline std::string AsText(const db::Value& value) { return value.value_or(std::string()); }

// One row of DoubletAlgorithms as a list shows it.
struct AlgorithmEntry {
  std::string AlgorithmCode;
  std::string PersonalNr;    // the owner, or "-"
  std::string ReadableText;  // the description of the code
  std::string AlgorithmName;
  std::string Description;
};

// The rows that the user may see, in the order of AlgorithmCode as the
// database sorts it. A query that fails gives no rows; a failure while
// reading ends the list after the row it happened in, whose unread values
// stay empty.
KORVIX_EXPORT std::vector<AlgorithmEntry> ReadVisibleAlgorithms(db::Connection* connection,
                                                                std::string_view personal_nr,
                                                                bool is_admin);

// The display name of staff member `personal_nr`: title, first and last name
// joined by blanks without blanks at the ends; the staff number itself when
// there is no such row, the names are empty, or the lookup fails.
KORVIX_EXPORT std::string OwnerName(db::Connection* connection, std::string_view personal_nr);

// The text by which a list shows an entry: its name unless that is blank,
// else the description of its code.
KORVIX_EXPORT std::string ListText(const AlgorithmEntry& entry);

// The text by which the details of an entry describe it: its description
// unless that is blank, else the description of its code.
KORVIX_EXPORT std::string DescriptionText(const AlgorithmEntry& entry);

}  // namespace korvix

#endif  // KORVIX_ALGORITHM_STORE_H_
