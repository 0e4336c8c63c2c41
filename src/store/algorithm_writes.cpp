// The writes of the editor's save, of the selection dialog's delete, and of
// a rename.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"
#include "korvix/algorithm_store.h"
#include "korvix/description.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "store/algorithm_table.h"
#include "store/rights.h"

namespace korvix {
namespace {

bool IsBlank(std::string_view s) { return text::TrimBlanks(s).empty(); }

// Codes and owners count as the same when they differ only in letter case.
bool SameIgnoringCase(std::string_view a, std::string_view b) {
  const text::Text x = text::Decode(a);
  const text::Text y = text::Decode(b);
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (text::Upper(x[i]) != text::Upper(y[i])) return false;
  }
  return true;
}

// What the transaction of a write holds: one code and owner of the table.
// Two pairs that give the same key only wait for each other.
std::string PairKey(std::string_view code, std::string_view owner) {
  std::string key = "DoubletAlgorithms\n";
  key.append(code).append("\n").append(owner);
  return key;
}

// Throws the first failure of a write: the record set's reason, else the
// transaction's. Unwinding closes the record set and rolls the transaction back.
[[noreturn]] void Fail(const db::Recordset& rs, const db::Transaction& tx) {
  throw Error(ErrorCode::kDatabase, rs.last_error().empty() ? tx.error() : rs.last_error());
}

[[noreturn]] void Refuse(const char* why) { throw Error(ErrorCode::kRefused, why); }

// Holds the pair in `tx` and opens its row in `rs` for writing.
bool OpenRow(db::Connection* connection, std::string_view code, std::string_view owner,
             db::Transaction* tx, db::Recordset* rs) {
  return tx->Lock(PairKey(code, owner)) &&
         rs->Open(AlgorithmStatement(connection, code, owner), connection, db::adOpenKeyset,
                  db::adLockOptimistic);
}

// Ends a write whose steps all succeeded.
WriteResult Commit(db::Recordset* rs, db::Transaction* tx) {
  rs->Close();
  if (!tx->Commit()) Fail(*rs, *tx);
  return WriteResult::kDone;
}

bool MaySave(const StoreUser& user, const SaveRequest& request) {
  if (!user.is_admin && request.owner != user.personal_nr) return false;
  if (IsBlank(request.loaded_code)) return MayCreate(user.personal_nr, user.is_admin);
  return MaySee(request.loaded_owner, user.personal_nr, user.is_admin) &&
         MayEdit(request.loaded_owner, user.is_admin);
}

// The name by which the overwrite question shows a stored row.
std::string ExistingName(const db::Recordset& rs) {
  std::string name, code;
  (void)ReadText(rs, "AlgorithmName", &name);
  if (!IsBlank(name)) return name;
  (void)ReadText(rs, "AlgorithmCode", &code);
  return DescribeAlgorithm(code);
}

}  // namespace

db::Value Trim2Null(std::string_view text) {
  const std::string_view trimmed = text::TrimBlanks(text);
  if (trimmed.empty()) return std::nullopt;
  return std::string(trimmed);
}

WriteResult SaveAlgorithm(db::Connection* connection, const SaveRequest& request,
                          const OverwriteQuestion& overwrite, const StoreUser* user) {
  if (user != nullptr && !MaySave(*user, request)) Refuse("this user may not save this algorithm");
  const bool itself = SameIgnoringCase(request.code, request.loaded_code) &&
                      SameIgnoringCase(request.owner, request.loaded_owner);
  const bool replaces = !IsBlank(request.loaded_code) && !itself;

  db::Transaction tx(connection);
  db::Recordset rs;
  // Both pairs are held, in one order for every session, so that a second
  // save of either waits and then sees this one's outcome.
  std::string keys[] = {PairKey(request.code, request.owner),
                        replaces ? PairKey(request.loaded_code, request.loaded_owner) : ""};
  std::sort(std::begin(keys), std::end(keys));
  for (const std::string& key : keys) {
    if (!key.empty() && !tx.Lock(key)) Fail(rs, tx);
  }
  if (!tx.ok() || !rs.Open(AlgorithmStatement(connection, request.code, request.owner),
                           connection, db::adOpenKeyset, db::adLockOptimistic)) {
    Fail(rs, tx);
  }
  if (rs.Eof() == std::optional<bool>(true)) {
    if (!rs.AddNew()) Fail(rs, tx);
  } else if (!itself && !(overwrite && overwrite(ExistingName(rs)))) {
    return WriteResult::kDeclined;  // rolled back: nothing was written
  }
  if (!rs.SetField("AlgorithmCode", request.code) || !rs.SetField("PersonalNr", request.owner) ||
      !rs.SetField("AlgorithmName", request.name) ||
      !rs.SetField("Description", request.description) || !rs.Update()) {
    Fail(rs, tx);
  }
  // The row as loaded is left behind by a changed code or owner; it goes
  // only now that its replacement is written.
  if (replaces) {
    rs.Close();
    if (!rs.Open(AlgorithmStatement(connection, request.loaded_code, request.loaded_owner),
                 connection, db::adOpenKeyset, db::adLockOptimistic)) {
      Fail(rs, tx);
    }
    if (rs.Eof() != std::optional<bool>(true) && !rs.Delete(db::adAffectCurrent)) Fail(rs, tx);
  }
  return Commit(&rs, &tx);
}

WriteResult RenameAlgorithm(db::Connection* connection, std::string_view code,
                            std::string_view owner, const db::Value& name,
                            const db::Value* description, const StoreUser* user) {
  const SaveRequest itself{std::string(code), std::string(owner), name, {}, std::string(code),
                           std::string(owner)};
  if (user != nullptr && !MaySave(*user, itself)) Refuse("this user may not change this algorithm");
  db::Transaction tx(connection);
  db::Recordset rs;
  if (!OpenRow(connection, code, owner, &tx, &rs)) Fail(rs, tx);
  if (rs.Eof() == std::optional<bool>(true)) return WriteResult::kNotFound;
  if (!rs.SetField("AlgorithmName", name) ||
      (description != nullptr && !rs.SetField("Description", *description)) || !rs.Update()) {
    Fail(rs, tx);
  }
  return Commit(&rs, &tx);
}

WriteResult DeleteAlgorithm(db::Connection* connection, std::string_view code,
                            std::string_view owner, const StoreUser* user) {
  if (user != nullptr && !(MaySee(owner, user->personal_nr, user->is_admin) &&
                           MayDelete(owner, user->is_admin))) {
    Refuse("this user may not delete this algorithm");
  }
  db::Transaction tx(connection);
  db::Recordset rs;
  if (!OpenRow(connection, code, owner, &tx, &rs)) Fail(rs, tx);
  if (rs.Eof() == std::optional<bool>(true)) return WriteResult::kNotFound;
  if (!rs.Delete(db::adAffectCurrent)) Fail(rs, tx);
  return Commit(&rs, &tx);
}

}  // namespace korvix
