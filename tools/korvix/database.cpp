#include "database.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "korvix/db/open.h"

namespace korvix::cli {
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

bool HasTable(db::Connection& connection, const char* probe, std::string* error = nullptr) {
  return connection.Execute(probe, error);
}

constexpr const char* kProbeAlgorithms =
    "SELECT AlgorithmCode, PersonalNr, AlgorithmName, Description FROM DoubletAlgorithms WHERE 1=0";
constexpr const char* kProbeStaff =
    "SELECT PersonalNr, Titel, Vorname, Nachname FROM Personalstamm WHERE 1=0";

void Run(db::Connection& connection, const char* sql, const std::string& name) {
  std::string error;
  if (!connection.Execute(sql, &error)) throw IoError("cannot write " + name + ": " + error);
}

}  // namespace

std::string DefaultDatabasePath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::filesystem::path base;
  if (data != nullptr && *data == '/') {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share";
  }
  std::error_code ec;  // a directory that cannot be made shows when the file is opened
  std::filesystem::create_directories(base / "korvix", ec);
  return (base / "korvix" / "korvix.sqlite").string();
}

bool InitializeDatabase(db::Connection& connection, const std::string& name) {
  const bool new_algorithms = !HasTable(connection, kProbeAlgorithms);
  const bool new_staff = !HasTable(connection, kProbeStaff);
  if (new_staff) Run(connection, kCreateStaff, name);
  if (new_algorithms) {
    Run(connection, kCreateAlgorithms, name);
    if (new_staff) Run(connection, kSampleStaff, name);
    Run(connection, kSampleAlgorithms, name);
  }
  return new_algorithms;
}

std::unique_ptr<db::Connection> OpenToolDatabase(const Args& args) {
  const std::optional<std::string> given = args.Value("db");
  const std::string target = given ? *given : DefaultDatabasePath();
  std::string error;
  std::unique_ptr<db::Connection> connection;
  if (!given) {
    // The default database is the tool's own: made on first use.
    connection = db::OpenDatabase(target, &error, {.create_if_missing = true});
    if (connection) InitializeDatabase(*connection, target);
  } else {
    connection = db::OpenDatabase(target, &error);
  }
  if (!connection) throw IoError(error);
  for (const char* probe : {kProbeAlgorithms, kProbeStaff}) {
    if (!HasTable(*connection, probe, &error)) {
      throw IoError("cannot read the algorithm tables in " + target + ": " + error +
                    " (does 'korvix init --db " + target + "' help?)");
    }
  }
  return connection;
}

}  // namespace korvix::cli
