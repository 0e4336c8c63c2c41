// The decisions table: created on first use, versioned, each write whole or
// not at all.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/backend.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "korvix/db/connection.h"
#include "korvix/decisions.h"

namespace korvix {
namespace {

constexpr std::string_view kTable = "DoubletDecisions";
// Which version each table of the component has, for a later library to
// upgrade from.
constexpr const char* kCreateVersions =
    "CREATE TABLE KorvixTables (TableName VARCHAR(60) NOT NULL PRIMARY KEY, Version INTEGER NOT NULL)";
// Seq orders the decisions as they were taken; RecordB is '' for a survivor
// and a value, FieldName '' for all but a value.
constexpr const char* kCreateDecisions =
    "CREATE TABLE DoubletDecisions (Seq INTEGER NOT NULL, Kind VARCHAR(10) NOT NULL, "
    "RecordA VARCHAR(200) NOT NULL, RecordB VARCHAR(200) NOT NULL, Note TEXT, "
    "DecidedBy VARCHAR(60), DecidedAt VARCHAR(20) NOT NULL, FieldName VARCHAR(200) NOT NULL DEFAULT '')";
// Version 1 had no value decisions.
constexpr const char* kUpgradeFrom1 =
    "ALTER TABLE DoubletDecisions ADD COLUMN FieldName VARCHAR(200) NOT NULL DEFAULT ''";

[[noreturn]] void Fail(const std::string& why) {
  throw Error(ErrorCode::kDatabase, "decisions: " + why);
}

[[noreturn]] void Fail(const db::Recordset& rs, const db::Transaction& tx) {
  Fail(rs.last_error().empty() ? tx.error() : rs.last_error());
}

// Whether `sql` runs, in a savepoint of its own: on PostgreSQL a failed
// statement would otherwise end the whole transaction.
bool Runs(db::Connection* connection, const char* sql) {
  db::Transaction probe(connection);
  if (!probe.ok()) Fail(probe.error());
  return db::BackendOf(*connection).RunScript(sql, nullptr);
}

void Run(db::Connection* connection, const std::string& sql) {
  std::string why;
  if (!db::BackendOf(*connection).RunScript(sql, &why)) Fail(why);
}

std::string Quoted(db::Connection* connection, std::string_view value) {
  return "'" + db::StringLiteralBody(connection, value) + "'";
}

std::string Text(const db::Recordset& rs, std::string_view column) {
  db::Value value;
  if (!rs.Field(column, &value)) Fail(rs.last_error());
  return value.value_or("");
}

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[24];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  return text;
}

void Check(const Decision& d) {
  const auto refuse = [](const std::string& why) { throw Error(ErrorCode::kInvalidArgument, why); };
  if (d.a.empty()) refuse("a decision names a record");
  if ((d.kind == DecisionKind::kValue) == d.field.empty()) {
    refuse(d.field.empty() ? "a value decision names the column whose value the survivor takes"
                           : "only a value decision names a column");
  }
  if (d.kind == DecisionKind::kSurvivor || d.kind == DecisionKind::kValue) {
    if (!d.b.empty()) refuse("a " + std::string(DecisionKindName(d.kind)) + " decision names one record");
    return;
  }
  if (d.b.empty()) refuse("a decision on a pair names two records");
  if (d.a == d.b) refuse("a record is always the same customer as itself: " + d.a);
}

// The rows that hold a decision on the records of `d`: on the pair, either
// way round, on the survivor, or on the record's value of the column.
std::string RowsOf(db::Connection* c, const Decision& d) {
  const std::string from = "Select * From DoubletDecisions Where ";
  if (d.kind == DecisionKind::kSurvivor) return from + "Kind='survivor' And RecordA=" + Quoted(c, d.a);
  if (d.kind == DecisionKind::kValue) {
    return from + "Kind='value' And RecordA=" + Quoted(c, d.a) + " And FieldName=" + Quoted(c, d.field);
  }
  return from + "Kind In ('same','different') And ((RecordA=" + Quoted(c, d.a) + " And RecordB=" + Quoted(c, d.b) +
         ") Or (RecordA=" + Quoted(c, d.b) + " And RecordB=" + Quoted(c, d.a) + "))";
}

// Writes `d` inside the caller's transaction, which holds the table;
// false when it was there already.
bool Write(db::Connection* c, const Decision& d, const db::Transaction& tx) {
  Check(d);
  db::Recordset rs;
  if (!rs.Open(RowsOf(c, d), c, db::adOpenKeyset, db::adLockOptimistic)) Fail(rs, tx);
  for (; rs.Eof() == false; (void)rs.MoveNext()) {
    if (Text(rs, "Kind") == DecisionKindName(d.kind)) return false;
    if (!rs.Delete(db::adAffectCurrent)) Fail(rs, tx);  // the person changed their mind
  }
  rs.Close();
  db::Recordset last;
  if (!last.Open("Select Max(Seq) As Seq From DoubletDecisions", c, db::adOpenForwardOnly,
                 db::adLockReadOnly)) {
    Fail(last, tx);
  }
  const std::string seq = Text(last, "Seq");
  const std::string next = std::to_string(seq.empty() ? 1 : std::stoll(seq) + 1);
  if (!rs.Open("Select * From DoubletDecisions Where 1=0", c, db::adOpenKeyset, db::adLockOptimistic) ||
      !rs.AddNew() || !rs.SetField("Seq", next) ||
      !rs.SetField("Kind", std::string(DecisionKindName(d.kind))) || !rs.SetField("RecordA", d.a) ||
      !rs.SetField("RecordB", d.b) || !rs.SetField("FieldName", d.field) ||
      !rs.SetField("Note", d.note.empty() ? db::Value() : db::Value(d.note)) ||
      !rs.SetField("DecidedBy", d.who.empty() ? db::Value() : db::Value(d.who)) ||
      !rs.SetField("DecidedAt", d.when.empty() ? Now() : d.when) || !rs.Update()) {
    Fail(rs, tx);
  }
  return true;
}

std::vector<Decision> ReadAll(db::Connection* c) {
  db::Recordset rs;
  if (!rs.Open("Select * From DoubletDecisions Order By Seq", c, db::adOpenForwardOnly, db::adLockReadOnly)) {
    Fail(rs.last_error());
  }
  std::vector<Decision> decisions;
  for (; rs.Eof() == false; (void)rs.MoveNext()) {
    Decision& d = decisions.emplace_back();
    try {
      d.kind = ReadDecisionKind(Text(rs, "Kind"));
    } catch (const Error& e) {
      Fail(e.what());
    }
    d.a = Text(rs, "RecordA");
    d.b = Text(rs, "RecordB");
    d.field = Text(rs, "FieldName");
    d.note = Text(rs, "Note");
    d.who = Text(rs, "DecidedBy");
    d.when = Text(rs, "DecidedAt");
  }
  return decisions;
}

// Begins a write: the transaction holds the table against other sessions.
void Begin(db::Transaction* tx) {
  if (!tx->ok() || !tx->Lock(kTable)) Fail(tx->error());
}

// Ends a write whose rows are written, unless they contradict each other.
void End(db::Transaction* tx, db::Connection* c) {
  CheckDecisionsAgree(ReadAll(c));
  if (!tx->Commit()) Fail("cannot commit: " + tx->error());
}

// Removes the rows `sql` selects; returns how many.
std::size_t Remove(db::Connection* c, const std::string& sql) {
  db::Transaction tx(c);
  Begin(&tx);
  db::Recordset rs;
  if (!rs.Open(sql, c, db::adOpenKeyset, db::adLockOptimistic)) Fail(rs, tx);
  std::size_t removed = 0;
  for (; rs.Eof() == false; (void)rs.MoveNext(), ++removed) {
    if (!rs.Delete(db::adAffectCurrent)) Fail(rs, tx);
  }
  rs.Close();
  if (!tx.Commit()) Fail("cannot commit: " + tx.error());  // fewer decisions never contradict
  return removed;
}

}  // namespace

DecisionStore::DecisionStore(db::Connection* connection) : connection_(connection) {
  if (connection == nullptr || !connection->IsOpen()) Fail("no open database");
  db::Transaction tx(connection);
  Begin(&tx);
  if (!Runs(connection, "SELECT TableName, Version FROM KorvixTables WHERE 1=0")) Run(connection, kCreateVersions);
  db::Recordset rs;
  if (!rs.Open("Select * From KorvixTables Where TableName='DoubletDecisions'", connection,
               db::adOpenForwardOnly, db::adLockReadOnly)) {
    Fail(rs, tx);
  }
  const std::optional<std::string> version =
      rs.Eof() == true ? std::nullopt : std::optional<std::string>(Text(rs, "Version"));
  rs.Close();
  const std::string ours = std::to_string(kVersion);
  if (!version) {
    Run(connection, kCreateDecisions);
    Run(connection, "INSERT INTO KorvixTables (TableName, Version) VALUES ('DoubletDecisions', " + ours + ")");
  } else if (*version == "1") {
    Run(connection, kUpgradeFrom1);
    Run(connection, "UPDATE KorvixTables SET Version=" + ours + " WHERE TableName='DoubletDecisions'");
  } else if (*version != ours) {
    Fail("the table DoubletDecisions has version " + *version + ", which this korvix (version " + ours +
         ") does not know: it is left as it is; use the korvix that wrote it");
  }
  if (!tx.Commit()) Fail("cannot commit: " + tx.error());
}

bool DecisionStore::Record(const Decision& decision) {
  db::Transaction tx(connection_);
  Begin(&tx);
  const bool written = Write(connection_, decision, tx);
  End(&tx, connection_);
  return written;
}

std::size_t DecisionStore::Import(std::span<const Decision> decisions) {
  db::Transaction tx(connection_);
  Begin(&tx);
  std::size_t written = 0;
  for (const Decision& d : decisions) written += Write(connection_, d, tx) ? 1 : 0;
  End(&tx, connection_);
  return written;
}

std::vector<Decision> DecisionStore::List() { return ReadAll(connection_); }

std::size_t DecisionStore::Forget(std::string_view identity) {
  const std::string value = Quoted(connection_, identity);
  return Remove(connection_, "Select * From DoubletDecisions Where RecordA=" + value + " Or RecordB=" + value);
}

std::size_t DecisionStore::ForgetAll() { return Remove(connection_, "Select * From DoubletDecisions"); }

}  // namespace korvix
