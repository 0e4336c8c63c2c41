// Creating the two tables for a host that has none yet.
#include <string>

#include "korvix/algorithm_store.h"
#include "korvix/db/connection.h"
#include "db/transaction.h"

namespace korvix {
namespace {

// Columns as the component uses them; the types are the host's choice.
constexpr const char* kCreateAlgorithms =
    "CREATE TABLE DoubletAlgorithms ("
    "AlgorithmCode VARCHAR(160) NOT NULL, PersonalNr VARCHAR(20) NOT NULL, "
    "AlgorithmName VARCHAR(100), Description TEXT)";
constexpr const char* kCreateStaff =
    "CREATE TABLE Personalstamm ("
    "PersonalNr VARCHAR(20) NOT NULL PRIMARY KEY, Titel VARCHAR(40), "
    "Vorname VARCHAR(60), Nachname VARCHAR(60))";

// Samples that show what the system does: public and private algorithms,
// one without a name (listed under its description), owners with and
// without a title.
constexpr const char* kSampleStaff =
    "INSERT INTO Personalstamm (PersonalNr, Titel, Vorname, Nachname) VALUES "
    "('1001', 'Dr.', 'Anna', 'Becker'), "
    "('1002', NULL, 'Jürgen', 'Schmitz'), "
    "('1003', NULL, 'Lena', 'Özdemir')";
constexpr const char* kSampleAlgorithms =
    "INSERT INTO DoubletAlgorithms (AlgorithmCode, PersonalNr, AlgorithmName, Description) VALUES "
    "('010500000000000003050000000000000504110000000000', '-', 'Adresse und Name', "
    "'PLZ und Straße genau, der Name klingt gleich: findet Meier/Mayer unter einer Anschrift.'), "
    "('010300000000000051060100000000000203000000000000', '-', 'Name phonetisch', "
    "'Erste Stellen der PLZ und des Ortes mit dem Soundex von Bez1 und Bez2.'), "
    "('01050000000000000408000000000000', '-', NULL, NULL), "
    "('090300000000000001050000000000000504110000000000', '1001', 'Kundengruppe zuerst', "
    "'Sortiert nach Kundengruppe; ähnliche Namen stehen untereinander.'), "
    "('01050000000000000308100000000000', '1002', 'Hausnummer von rechts', "
    "'Die letzten Stellen der Straße enthalten die Hausnummer.')";

struct Table {
  const char* name;
  const char* columns;  // a query that fails unless the table has the columns used
  const char* rows;     // reads every row, so that a damaged table shows
};
constexpr Table kAlgorithms = {
    "DoubletAlgorithms",
    "SELECT AlgorithmCode, PersonalNr, AlgorithmName, Description FROM DoubletAlgorithms "
    "WHERE 1=0",
    "SELECT AlgorithmCode, PersonalNr, AlgorithmName, Description FROM DoubletAlgorithms"};
constexpr Table kStaff = {
    "Personalstamm", "SELECT PersonalNr, Titel, Vorname, Nachname FROM Personalstamm WHERE 1=0",
    "SELECT PersonalNr, Titel, Vorname, Nachname FROM Personalstamm"};

// Sets *present to whether `table` is there with its columns; false with
// *error set when it is there but cannot be read, or the probe cannot run.
bool Probe(db::Connection* connection, const Table& table, bool* present, std::string* error) {
  {
    // Its own savepoint: on PostgreSQL a failed statement would otherwise
    // end the whole transaction.
    db::Transaction probe(connection);
    if (!probe.ok()) {
      *error = probe.error();
      return false;
    }
    *present = connection->Execute(table.columns, nullptr);
  }
  std::string why;
  if (*present && !connection->Execute(table.rows, &why)) {
    *error = std::string("cannot read ") + table.name + ": " + why;
    return false;
  }
  return true;
}

bool Run(db::Connection* connection, const char* sql, const char* what, std::string* error) {
  std::string why;
  if (connection->Execute(sql, &why)) return true;
  *error = std::string("cannot write ") + what + ": " + why;
  return false;
}

}  // namespace

bool CreateTables(db::Connection* connection, bool samples, bool* created, std::string* error) {
  std::string scratch;
  std::string& why = error != nullptr ? *error : scratch;
  db::Transaction tx(connection);
  if (!tx.ok()) {
    why = tx.error();
    return false;
  }
  bool has_algorithms = false, has_staff = false;
  if (!Probe(connection, kAlgorithms, &has_algorithms, &why) ||
      !Probe(connection, kStaff, &has_staff, &why)) {
    return false;
  }
  if (!has_staff && !Run(connection, kCreateStaff, kStaff.name, &why)) return false;
  if (!has_algorithms) {
    if (!Run(connection, kCreateAlgorithms, kAlgorithms.name, &why)) return false;
    if (samples && !has_staff && !Run(connection, kSampleStaff, kStaff.name, &why)) return false;
    if (samples && !Run(connection, kSampleAlgorithms, kAlgorithms.name, &why)) return false;
  }
  if (!tx.Commit()) {
    why = "cannot commit the new tables: " + tx.error();
    return false;
  }
  if (created != nullptr) *created = !has_algorithms;
  return true;
}

}  // namespace korvix
