#include "base/text.h"
#include "korvix/algorithm_store.h"
#include "korvix/description.h"
#include "korvix/error.h"
#include "db/recordset.h"
#include "korvix/fields.h"
#include "store/algorithm_table.h"
#include "store/quiet_reads.h"

namespace korvix {
namespace {

std::string Trimmed(std::string_view s) { return std::string(text::TrimBlanks(s)); }

}  // namespace

std::vector<AlgorithmEntry> store::ReadVisibleAlgorithmsQuietly(db::Connection* connection,
                                                                std::string_view personal_nr,
                                                                bool is_admin, std::string* error) {
  const std::string sql = is_admin ? AllAlgorithmsStatement()
                                   : VisibleAlgorithmsStatement(connection, personal_nr);
  db::Recordset rs;
  std::string why;  // the first failure
  auto step = [&](bool ok) {
    if (!ok && why.empty()) why = rs.last_error().empty() ? "a read failed" : rs.last_error();
  };
  step(rs.Open(sql, connection, db::adOpenKeyset, db::adLockReadOnly));
  std::vector<AlgorithmEntry> entries;
  // A failed step is skipped, but once anything has failed no further row
  // is read: the row in which it happened is kept with what could be read.
  while (why.empty()) {
    const std::optional<bool> eof = rs.Eof();
    if (!eof.has_value() || *eof) break;
    AlgorithmEntry& e = entries.emplace_back();
    step(ReadText(rs, "AlgorithmCode", &e.AlgorithmCode));
    step(ReadText(rs, "PersonalNr", &e.PersonalNr));
    e.ReadableText = DescribeAlgorithm(e.AlgorithmCode);
    step(ReadText(rs, "AlgorithmName", &e.AlgorithmName));
    step(ReadText(rs, "Description", &e.Description));
    step(rs.MoveNext());
  }
  if (!why.empty() && error != nullptr) *error = why;
  rs.Close();
  return entries;
}

std::vector<AlgorithmEntry> ReadVisibleAlgorithms(db::Connection* connection,
                                                  std::string_view personal_nr, bool is_admin) {
  std::string error;
  std::vector<AlgorithmEntry> entries =
      store::ReadVisibleAlgorithmsQuietly(connection, personal_nr, is_admin, &error);
  if (!error.empty()) throw Error(ErrorCode::kDatabase, error);
  return entries;
}

std::string OwnerName(db::Connection* connection, std::string_view personal_nr) {
  db::Recordset rs;
  std::string name;
  if (rs.Open(StaffStatement(connection, personal_nr), connection, db::adOpenKeyset,
              db::adLockReadOnly)) {
    // A failing end test counts as a row: its reads fail in turn and leave
    // the name empty.
    if (rs.Eof() != std::optional<bool>(true)) {
      std::string title, first, last;
      (void)ReadText(rs, "Titel", &title);
      (void)ReadText(rs, "Vorname", &first);
      (void)ReadText(rs, "Nachname", &last);
      name = Trimmed(title + " " + Trimmed(first + " " + last));
    }
  }
  rs.Close();
  return name.empty() ? std::string(personal_nr) : name;
}

namespace {

const std::string& UnlessBlank(const std::string& text, const std::string& otherwise) {
  return text::TrimBlanks(std::string_view(text)).empty() ? otherwise : text;
}

}  // namespace

std::string ListText(const AlgorithmEntry& entry) {
  return UnlessBlank(entry.AlgorithmName, entry.ReadableText);
}

std::string DescriptionText(const AlgorithmEntry& entry) {
  return UnlessBlank(entry.Description, entry.ReadableText);
}

std::string OwnerStatus(const AlgorithmEntry& entry,
                        const std::function<std::string(const std::string&)>& owner_name) {
  return IsPublicOwner(entry.PersonalNr) ? std::string("öffentlich")
                                         : "Privat (" + owner_name(entry.PersonalNr) + ")";
}

std::vector<const AlgorithmEntry*> EntriesNamed(std::span<const AlgorithmEntry> entries,
                                                std::string_view name) {
  std::vector<const AlgorithmEntry*> exact, alike;
  const std::string folded = FoldColumnName(name, false);
  for (const AlgorithmEntry& e : entries) {
    const std::string text = ListText(e);
    if (text == name) exact.push_back(&e);
    if (FoldColumnName(text, false) == folded) alike.push_back(&e);
  }
  return exact.empty() ? alike : exact;
}

const AlgorithmEntry* AlgorithmNamed(std::span<const AlgorithmEntry> entries,
                                     std::string_view name) {
  const std::vector<const AlgorithmEntry*> found = EntriesNamed(entries, name);
  for (const AlgorithmEntry* e : found) {
    if (e->AlgorithmCode != found.front()->AlgorithmCode) {
      throw Error(ErrorCode::kInvalidArgument,
                  "more than one algorithm is named '" + std::string(name) + "':" + EntryLines(found));
    }
  }
  return found.empty() ? nullptr : found.front();
}

std::string EntryLines(std::span<const AlgorithmEntry* const> entries) {
  std::string lines;
  for (const AlgorithmEntry* e : entries) {
    lines += "\n  " + ListText(*e) + "  (code " + e->AlgorithmCode + ", owner " + e->PersonalNr +
             ")";
  }
  return lines;
}

}  // namespace korvix
