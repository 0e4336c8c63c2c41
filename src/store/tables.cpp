// Creating the two tables for a host that has none yet.
#include <string>

#include "korvix/algorithm_store.h"
#include "korvix/db/connection.h"
#include "db/backend.h"
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

[[noreturn]] void Fail(const std::string& why) { throw Error(ErrorCode::kDatabase, why); }

// Whether `table` is there with its columns. Throws when it is there but
// cannot be read, or the probe cannot run.
bool Probe(db::Connection* connection, const Table& table) {
  bool present = false;
  {
    // Its own savepoint: on PostgreSQL a failed statement would otherwise
    // end the whole transaction.
    db::Transaction probe(connection);
    if (!probe.ok()) Fail(probe.error());
    present = db::BackendOf(*connection).RunScript(table.columns, nullptr);
  }
  std::string why;
  if (present && !db::BackendOf(*connection).RunScript(table.rows, &why)) {
    Fail(std::string("cannot read ") + table.name + ": " + why);
  }
  return present;
}

void Run(db::Connection* connection, const char* sql, const char* what) {
  std::string why;
  if (!db::BackendOf(*connection).RunScript(sql, &why)) {
    Fail(std::string("cannot write ") + what + ": " + why);
  }
}

}  // namespace

bool CreateTables(db::Connection* connection, bool samples) {
  db::Transaction tx(connection);
  if (!tx.ok()) Fail(tx.error());
  const bool has_algorithms = Probe(connection, kAlgorithms);
  const bool has_staff = Probe(connection, kStaff);
  if (!has_staff) Run(connection, kCreateStaff, kStaff.name);
  if (!has_algorithms) {
    Run(connection, kCreateAlgorithms, kAlgorithms.name);
    if (samples && !has_staff) Run(connection, kSampleStaff, kStaff.name);
    if (samples) Run(connection, kSampleAlgorithms, kAlgorithms.name);
  }
  if (!tx.Commit()) Fail("cannot commit the new tables: " + tx.error());
  return !has_algorithms;
}

}  // namespace korvix
