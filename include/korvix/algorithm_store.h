// The algorithm table: reading the algorithms a user sees, and every write.
//
// Table DoubletAlgorithms (AlgorithmCode, PersonalNr, AlgorithmName,
// Description) holds one row per algorithm; the owner column PersonalNr is a
// staff number, or "-" for a public algorithm that every user sees. The
// host's staff table Personalstamm (PersonalNr, Titel, Vorname, Nachname)
// gives owners their names. Both tables belong to the host; the dialogs
// never create, alter or drop a table (CreateTables is for hosts).
//
// Every write is one transaction (a savepoint when the host's session is in
// a transaction already): the table is either as before it or as after it,
// whatever fails on the way, and no row is deleted or overwritten unless
// what replaces it was written. The look-up that decides a write and the
// write are held together, so two sessions saving the same code and owner
// at once never make two rows. Values are written into the statements as
// the session reads them back, whatever its settings, so no value can
// change what a statement selects.
#ifndef KORVIX_ALGORITHM_STORE_H_
#define KORVIX_ALGORITHM_STORE_H_

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/db/connection.h"
#include "korvix/error.h"
#include "korvix/export.h"

namespace korvix {

// ---- Owners.

// The owner value of a public algorithm.
inline constexpr std::string_view kPublicOwner = "-";

// True iff `owner` is exactly the public marker "-" (no blanks, no case folding).
KORVIX_EXPORT bool IsPublicOwner(std::string_view owner);

// True iff `owner` names a member of staff: neither blank nor "-" once the
// blanks around it are ignored. Only such a user can own a private algorithm.
KORVIX_EXPORT bool HasOwner(std::string_view owner);

// ---- Reading.

// One row of DoubletAlgorithms as a list shows it; Null columns read as "".
struct AlgorithmEntry {
  std::string AlgorithmCode;
  std::string PersonalNr;    // the owner, or "-"
  std::string ReadableText;  // the description of the code
  std::string AlgorithmName;
  std::string Description;
};

// The rows that the user may see (an administrator: all; anybody else: the
// public rows and those of `personal_nr`), in the order of AlgorithmCode as
// the database sorts it. Throws Error (kDatabase) when the query or a read
// fails: a list with rows left out would mislead.
KORVIX_EXPORT std::vector<AlgorithmEntry> ReadVisibleAlgorithms(db::Connection* connection,
                                                                std::string_view personal_nr,
                                                                bool is_admin);

// The display name of staff member `personal_nr`: title, first and last name
// joined by blanks without blanks at the ends; the staff number itself when
// there is no such row, the names are empty, or the lookup fails.
KORVIX_EXPORT std::string OwnerName(db::Connection* connection, std::string_view personal_nr);

// Returns the name of the algorithm `algorithm` owned by `personal_nr`, else
// of the public algorithm with that code, as stored (blanks included). When
// the row found has a blank or Null name, or when no row is found, returns
// the description of the code instead. Throws Error (kDatabase) when the
// table cannot be read (a null or closed connection included);
// DoubletFunctions::GetAlgorithmName gives the description then.
KORVIX_EXPORT std::string LookupAlgorithmName(db::Connection* connection,
                                              std::string_view algorithm,
                                              std::string_view personal_nr);

// The text by which a list shows an entry: its name unless that is blank,
// else the description of its code.
KORVIX_EXPORT std::string ListText(const AlgorithmEntry& entry);

// The text by which the details of an entry describe it: its description
// unless that is blank, else the description of its code.
KORVIX_EXPORT std::string DescriptionText(const AlgorithmEntry& entry);

// Who may use an entry, as the selection dialog and the listings show it:
// "öffentlich" for a public one, else "Privat (", the owner's display name
// as `owner_name` gives it for the staff number, and ")".
KORVIX_EXPORT std::string OwnerStatus(
    const AlgorithmEntry& entry, const std::function<std::string(const std::string&)>& owner_name);

// The entries that `name` names, in their order: those whose list text
// (ListText) is `name`; when none is, those whose list text equals `name`
// as column names compare (Unicode case folding, blanks around ignored).
// Several entries may share a name; those of one code key alike, whoever
// owns them.
KORVIX_EXPORT std::vector<const AlgorithmEntry*> EntriesNamed(std::span<const AlgorithmEntry> entries,
                                                               std::string_view name);

// The algorithm that `name` names among `entries`: the first of
// EntriesNamed, or null when no entry has the name. Throws korvix::Error
// (kInvalidArgument), listing them as EntryLines does, when entries of
// different codes have it: which one was meant cannot be told.
KORVIX_EXPORT const AlgorithmEntry* AlgorithmNamed(std::span<const AlgorithmEntry> entries,
                                                   std::string_view name);

// Entries as a message lists them: a line each, "\n  " then the list text,
// the code and the owner ("-" for public).
KORVIX_EXPORT std::string EntryLines(std::span<const AlgorithmEntry* const> entries);

// ---- Writing.

// A name or description as it is stored: without the blanks around it, Null
// when nothing is left.
KORVIX_EXPORT db::Value Trim2Null(std::string_view text);

// The acting user, for a caller that wants the store to refuse what the
// dialogs refuse; the dialogs check the rights themselves and pass none.
struct StoreUser {
  std::string personal_nr;  // may be empty
  bool is_admin = false;
};

// How a write ended. A write that fails throws Error instead: kRefused when
// the acting user may not do it (nothing was read or written), kDatabase
// when the database failed a step (the table is as it was before).
enum class WriteResult {
  kDone,      // written and committed
  kNotFound,  // delete, rename: no row with that code and owner
  kDeclined,  // save: the overwrite question was answered no
};

// One save of the editor. `code` and `owner` are the row to store; the
// algorithm was loaded as `loaded_code` and `loaded_owner` ("" for a new
// one). Name and description are stored as given (Null for none).
struct SaveRequest {
  std::string code;
  std::string owner;
  db::Value name;
  db::Value description;
  std::string loaded_code;
  std::string loaded_owner;
};

// Asked when another stored algorithm has the same code and owner; gets its
// display name (its name, else the description of its code) and returns
// true to write over it.
using OverwriteQuestion = std::function<bool(const std::string& existing_name)>;

// Stores the row of `request`: looks up the row with its code and owner; if
// there is one and it is not the loaded algorithm itself (codes and owners
// compared without regard to letter case), asks `overwrite` (none: no) and
// writes over it only on yes; otherwise adds a row. Then, when the code or
// the owner changed, deletes the first row with the loaded code and owner.
// All of it in one transaction, the question included: another session
// saving the same pair waits meanwhile. With `user`, a user who may not
// create (new algorithm) or edit (the loaded one), or a user other than an
// administrator storing for another owner, is refused. Returns kDone or
// kDeclined.
KORVIX_EXPORT WriteResult SaveAlgorithm(db::Connection* connection, const SaveRequest& request,
                                        const OverwriteQuestion& overwrite,
                                        const StoreUser* user = nullptr);

// Gives the first row with `code` and `owner` the name `name` and, when
// `description` is not null, that description; nothing else of the row
// changes. Unlike saving the row as it was read, a description that another
// session changed meanwhile stays, and a row removed meanwhile stays removed
// (kNotFound). One transaction. With `user`, the rights are those of saving
// the algorithm in place.
KORVIX_EXPORT WriteResult RenameAlgorithm(db::Connection* connection, std::string_view code,
                                          std::string_view owner, const db::Value& name,
                                          const db::Value* description,
                                          const StoreUser* user = nullptr);

// Deletes the first row with `code` and `owner`, and only that one. With
// `user`, a row that user may not see or delete is refused.
KORVIX_EXPORT WriteResult DeleteAlgorithm(db::Connection* connection, std::string_view code,
                                          std::string_view owner, const StoreUser* user = nullptr);

// Host set-up: creates DoubletAlgorithms and Personalstamm where they are
// missing and, with `samples`, adds a few sample staff members (when the
// staff table is new) and algorithms (when the algorithm table is new).
// Never changes a row that exists; a table that exists but cannot be read
// is an error. One transaction: on failure (Error, kDatabase) nothing is
// left behind, and a later call does the whole work. Returns whether the
// algorithm table was made.
KORVIX_EXPORT bool CreateTables(db::Connection* connection, bool samples);

}  // namespace korvix

#endif  // KORVIX_ALGORITHM_STORE_H_
