// Decisions a person took on records: these two are one customer, these two
// are not, this record is the one that stays, its street is the one this
// other record has. A decision is data: stored at
// once in the database, and honoured by every later run of the dedupe job
// (DedupeOptions::decisions), whatever the scores say.
//
//   korvix::DecisionStore store(connection.get());   // creates its table on first use
//   store.Record({korvix::DecisionKind::kDifferent,
//                 korvix::RecordIdentity("", "100017"), korvix::RecordIdentity("", "100031")});
//   korvix::DedupeOptions options = korvix::RecommendedDedupe();
//   options.id = "Kundennr";
//   options.decisions = store.List();
//
// A record is named by its identity, which survives a file sorted anew or
// exported again: "id:" and the value of the run's id column
// (DedupeOptions::id), or, for a file without one, "content:" and a hash of
// the record as the job compares it (normalised), so that copies of one
// record share it.
#ifndef KORVIX_DECISIONS_H_
#define KORVIX_DECISIONS_H_

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/error.h"
#include "korvix/export.h"

namespace korvix {

namespace db {
class Connection;
}

enum class DecisionKind {
  kSame,       // a and b are one customer: always in one group
  kDifferent,  // a and b are two customers: never in one group
  kSurvivor,   // a is the record its group keeps (b is empty)
  // a's value of the column `field` is the one its group's survivor keeps
  // in the clean file, even an empty one (b is empty); of several such
  // decisions on one column of a group, the one taken last
  kValue,
};

struct Decision {
  DecisionKind kind = DecisionKind::kSame;
  std::string a, b;  // identities (RecordIdentity)
  // For kValue: the column as DedupeOptions::survivor names one (a CSV
  // header's column by name, or the item number in record strings);
  // empty for the other kinds.
  std::string field;
  std::string note;  // why, in the person's words; may be empty
  std::string who;   // the user who decided
  std::string when;  // UTC, "2026-12-07 10:52:20"; DecisionStore::Record fills it when empty
  bool operator==(const Decision&) const = default;
};

// "same", "different", "survivor", "value".
KORVIX_EXPORT std::string_view DecisionKindName(DecisionKind kind);

// The kind that `name` names: its English name, or the German "gleich",
// "verschieden", "bleibt", "wert"; any case. Throws Error (kInvalidArgument) for
// anything else.
KORVIX_EXPORT DecisionKind ReadDecisionKind(std::string_view name);

// A decision as the command line, C and Python name one: the kind (as
// ReadDecisionKind reads it), record a, and `second`: record b of a pair,
// the column of a value, empty for a survivor. Throws as ReadDecisionKind.
KORVIX_EXPORT Decision MakeDecision(std::string_view kind, std::string a, std::string second);

// The identity of a record: "id:" and `id` (its blanks around taken off)
// when that is not blank, else "content:" and 16 hexadecimal digits of a
// hash of `record` (a record string, "PLZ|Ort|Straße|...") normalised
// (NormalizeRecord), the same in every version of the library.
KORVIX_EXPORT std::string RecordIdentity(std::string_view record, std::string_view id);

// Throws Error (kInvalidArgument) when the decisions contradict each other:
// a pair decided different that decisions "same" join, directly or through
// other records. The message names the pair and the chain ("id:1 = id:3 =
// id:2"). DecisionStore never stores such decisions; a run refuses them.
KORVIX_EXPORT void CheckDecisionsAgree(std::span<const Decision> decisions);

// The decisions as CSV: a header "kind;record_a;record_b;field;note;who;when",
// then a row each, ';' between fields, quoted where needed, LF line ends.
KORVIX_EXPORT std::string DecisionsCsv(std::span<const Decision> decisions);

// The decisions of a file that DecisionsCsv wrote (its columns by name, in
// any order; ',' or ';'; a file without the column field, as version 1
// wrote it, holds no value decisions). Throws Error (kIo) when it cannot be read, lacks
// a column or holds a row that is not a decision, naming its line.
KORVIX_EXPORT std::vector<Decision> ReadDecisionsCsv(const std::string& path);

// The decisions kept in a database, in the table DoubletDecisions beside
// DoubletAlgorithms. The table is versioned (KorvixTables names each table
// of the component with its version), so that a later library can upgrade
// it; a table newer than this library knows is refused, never written.
//
// Each write is one transaction: whole or not at all. A pair holds one
// decision: the latest, so a person who changes their mind replaces
// "different" by "same" (the order of a and b does not matter). A record
// holds one survivor decision, and one value decision per column. A table
// of version 1 (without value decisions) is upgraded when opened. A write that would make the decisions
// contradict each other (CheckDecisionsAgree) is refused.
//
// Every failure throws Error: kInvalidArgument for a decision that cannot
// be one, kDatabase when the database fails or holds a newer table.
class KORVIX_EXPORT DecisionStore {
 public:
  static constexpr int kVersion = 2;

  // Opens the decisions on `connection`, which must outlive the store, and
  // creates the tables when they are missing.
  explicit DecisionStore(db::Connection* connection);

  // Stores `decision` (a and b as given, `when` now when empty). Returns
  // false when the same decision was there already, which stays as it was.
  // A pair of one record with itself, an empty identity, b given for a
  // survivor or a value, a value without its column (or a column given for
  // another kind), or a decision that contradicts those stored is refused
  // (kInvalidArgument).
  bool Record(const Decision& decision);

  // Stores every one of `decisions` in one transaction, all or none;
  // returns how many were new.
  std::size_t Import(std::span<const Decision> decisions);

  // Every decision, in the order they were taken.
  std::vector<Decision> List();

  // Removes every decision that names `identity`; returns how many.
  std::size_t Forget(std::string_view identity);

  // Removes every decision; returns how many.
  std::size_t ForgetAll();

 private:
  db::Connection* connection_;
};

}  // namespace korvix

#endif  // KORVIX_DECISIONS_H_
