#include "sql/sqlite_functions.h"


#ifdef KORVIX_SQLITE_LOADABLE
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json.h"
#include "dedupe/compare/record_keys.h"
#include "dedupe/link/lookup.h"
#include "korvix/algorithm_code.h"
#include "korvix/dedupe.h"
#include "korvix/error.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"

namespace korvix::sql {
namespace {

constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

// Thrown when SQLite has no memory for an argument's text.
struct NoMemory {};

// The text of `value`, or nullopt for NULL.
std::optional<std::string_view> Text(sqlite3_value* value) {
  if (sqlite3_value_type(value) == SQLITE_NULL) return std::nullopt;
  // text() before bytes(): bytes() then counts the text form.
  const unsigned char* text = sqlite3_value_text(value);
  if (text == nullptr) throw NoMemory{};
  return std::string_view(reinterpret_cast<const char*>(text),
                          static_cast<std::size_t>(sqlite3_value_bytes(value)));
}

void ResultText(sqlite3_context* context, const std::string& text) {
  sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// The record string of `fields`, joined by "|", a NULL field as an empty one.
void Join(int count, sqlite3_value** fields, std::string* record) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) *record += '|';
    if (const auto field = Text(fields[i])) *record += *field;
  }
}

// korvix_record(plz, ort, ...): the record string of columns, for the other
// functions, which take records.
void Record(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (argc < 1) {
    sqlite3_result_error(context, "korvix_record takes the fields: korvix_record(plz, ort, ...)", -1);
    return;
  }
  try {
    std::string record;
    Join(argc, argv, &record);
    ResultText(context, record);
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

// A parsed algorithm and the key buffer, kept with a constant algorithm
// argument for the whole statement, so a query parses its code once.
struct Keyer {
  explicit Keyer(std::string_view algorithm) : builder(algorithm) {}
  KeyBuilder builder;
  std::string key;
};

void DeleteKeyer(void* keyer) { delete static_cast<Keyer*>(keyer); }

void Key(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (argc < 2) {
    sqlite3_result_error(context,
                         "korvix_key takes an algorithm and a record, or an algorithm and fields",
                         -1);
    return;
  }
  try {
    const std::optional<std::string_view> algorithm = Text(argv[0]);
    std::optional<std::string_view> record;
    std::string joined;
    if (argc == 2) {
      record = Text(argv[1]);
    } else {
      Join(argc - 1, argv + 1, &joined);
      record = joined;
    }
    if (!algorithm || !record) return;  // NULL
    auto* keyer = static_cast<Keyer*>(sqlite3_get_auxdata(context, 0));
    std::unique_ptr<Keyer> made;
    if (keyer == nullptr) {
      made = std::make_unique<Keyer>(*algorithm);
      keyer = made.get();
    }
    keyer->builder.Key(*record, &keyer->key);
    ResultText(context, keyer->key);
    // SQLite keeps it only while the argument stays the same, and may free
    // it at once: nothing touches it after this.
    if (made) sqlite3_set_auxdata(context, 0, made.release(), DeleteKeyer);
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

template <std::string (*kFunction)(std::string_view)>
void OfText(sqlite3_context* context, int, sqlite3_value** argv) {
  try {
    if (const auto text = Text(argv[0])) ResultText(context, kFunction(*text));
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

// The code an algorithm is given as, a code or its readable form. A text
// that is neither is an error saying what is wrong, where a key would give
// every record the same key.
void Code(sqlite3_context* context, int, sqlite3_value** argv) {
  try {
    if (const auto given = Text(argv[0])) ResultText(context, ReadAlgorithm(*given));
  } catch (const Error& e) {
    sqlite3_result_error(context, ("korvix_code: " + std::string(e.what())).c_str(), -1);
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

void Score(sqlite3_context* context, int, sqlite3_value** argv) {
  try {
    const auto a = Text(argv[0]);
    const auto b = Text(argv[1]);
    if (a && b) sqlite3_result_double(context, ScoreRecords(*a, *b));
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

// korvix_keys(record): a table-valued function, one row (key) per key of the
// record. SQLite has no arrays; rows join the side table of keys directly
// and fill it from a trigger.
enum KeysColumn { kKeyColumn, kRecordColumn };

// SQLite sees the bases, and each call casts back.
struct KeysTable : sqlite3_vtab {
  KeysTable() : sqlite3_vtab{} {}
  dedupe::RecommendedKeyer keyer;
};

struct KeysCursor : sqlite3_vtab_cursor {
  KeysCursor() : sqlite3_vtab_cursor{} {}
  std::optional<std::string> record;
  std::vector<std::string> keys;
  std::size_t row = 0;
};

int KeysConnect(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** table, char**) {
  const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(key TEXT, record HIDDEN)");
  if (rc != SQLITE_OK) return rc;
  // It computes from its argument alone, so triggers and views may use it
  // even where the schema is not trusted.
  sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
  auto* made = new (std::nothrow) KeysTable;
  if (made == nullptr) return SQLITE_NOMEM;
  *table = made;
  return SQLITE_OK;
}

int KeysDisconnect(sqlite3_vtab* table) {
  delete static_cast<KeysTable*>(table);
  return SQLITE_OK;
}

int KeysBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
  bool unusable = false;
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    if (c.iColumn != kRecordColumn || c.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
    if (!c.usable) {
      unusable = true;
      continue;
    }
    info->aConstraintUsage[i].argvIndex = 1;
    info->aConstraintUsage[i].omit = 1;
    info->idxNum = 1;
    info->estimatedCost = 1;
    info->estimatedRows = 3;
    return SQLITE_OK;
  }
  // A plan that has the record later is the one to take.
  if (unusable) return SQLITE_CONSTRAINT;
  info->idxNum = 0;
  info->estimatedCost = 1e12;
  return SQLITE_OK;
}

int KeysOpen(sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
  auto* made = new (std::nothrow) KeysCursor;
  if (made == nullptr) return SQLITE_NOMEM;
  *cursor = made;
  return SQLITE_OK;
}

int KeysClose(sqlite3_vtab_cursor* cursor) {
  delete static_cast<KeysCursor*>(cursor);
  return SQLITE_OK;
}

int KeysFilter(sqlite3_vtab_cursor* base, int index, const char*, int, sqlite3_value** argv) {
  auto* cursor = static_cast<KeysCursor*>(base);
  cursor->row = 0;
  cursor->keys.clear();
  cursor->record.reset();
  if (index == 0) {
    sqlite3_free(base->pVtab->zErrMsg);
    base->pVtab->zErrMsg = sqlite3_mprintf("korvix_keys takes a record: korvix_keys(record)");
    return SQLITE_ERROR;
  }
  try {
    const auto record = Text(argv[0]);
    if (!record) return SQLITE_OK;  // NULL: no keys
    cursor->record.emplace(*record);
    static_cast<KeysTable*>(base->pVtab)->keyer.Keys(*record, &cursor->keys);
    return SQLITE_OK;
  } catch (...) {
    return SQLITE_NOMEM;
  }
}

int KeysNext(sqlite3_vtab_cursor* cursor) {
  ++static_cast<KeysCursor*>(cursor)->row;
  return SQLITE_OK;
}

int KeysEof(sqlite3_vtab_cursor* base) {
  const auto* cursor = static_cast<KeysCursor*>(base);
  return cursor->row >= cursor->keys.size();
}

int KeysColumnValue(sqlite3_vtab_cursor* base, sqlite3_context* context, int column) {
  const auto* cursor = static_cast<KeysCursor*>(base);
  if (column == kKeyColumn) {
    ResultText(context, cursor->keys[cursor->row]);
  } else if (cursor->record) {
    ResultText(context, *cursor->record);
  }
  return SQLITE_OK;
}

int KeysRowid(sqlite3_vtab_cursor* base, sqlite_int64* rowid) {
  *rowid = static_cast<sqlite_int64>(static_cast<KeysCursor*>(base)->row) + 1;
  return SQLITE_OK;
}

// Eponymous only (no xCreate): it exists in every schema as korvix_keys and
// cannot be made a table of its own. Set member by member: the struct
// grows with SQLite's versions.
sqlite3_module KeysModule() {
  sqlite3_module module{};
  module.xConnect = KeysConnect;
  module.xBestIndex = KeysBestIndex;
  module.xDisconnect = KeysDisconnect;
  module.xDestroy = KeysDisconnect;
  module.xOpen = KeysOpen;
  module.xClose = KeysClose;
  module.xFilter = KeysFilter;
  module.xNext = KeysNext;
  module.xEof = KeysEof;
  module.xColumn = KeysColumnValue;
  module.xRowid = KeysRowid;
  return module;
}

void Explain(sqlite3_context* context, int, sqlite3_value** argv) {
  try {
    const auto a = Text(argv[0]);
    const auto b = Text(argv[1]);
    if (a && b) ResultText(context, ComparisonJson(CompareRecords(*a, *b)));
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

// korvix_matches(record, id, new): the aggregate of the rows that an index
// found for a new record, which it scores together as the job would.
struct Matches {
  std::string new_record;
  std::vector<std::string> records;
  std::vector<std::string> ids;  // each as JSON: a number or a string
};

void MatchesStep(sqlite3_context* context, int, sqlite3_value** argv) {
  auto** state = static_cast<Matches**>(sqlite3_aggregate_context(context, sizeof(Matches*)));
  if (state == nullptr) {
    sqlite3_result_error_nomem(context);
    return;
  }
  try {
    const auto record = Text(argv[0]);
    const auto record_new = Text(argv[2]);
    if (!record || !record_new) return;  // NULL matches nothing
    if (*state == nullptr) *state = new Matches{std::string(*record_new), {}, {}};
    if ((*state)->new_record != *record_new) {
      sqlite3_result_error(context, "korvix_matches: one new record per group of rows", -1);
      return;
    }
    (*state)->records.emplace_back(*record);
    std::string& id = (*state)->ids.emplace_back();
    const int type = sqlite3_value_type(argv[1]);
    if (type == SQLITE_INTEGER) {
      id = std::to_string(sqlite3_value_int64(argv[1]));
    } else {
      base::AppendJsonString(Text(argv[1]).value_or(""), &id);
    }
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

void MatchesFinal(sqlite3_context* context) {
  auto** state = static_cast<Matches**>(sqlite3_aggregate_context(context, 0));
  const std::unique_ptr<Matches> matches(state == nullptr ? nullptr : *state);
  try {
    if (!matches) {
      ResultText(context, "[]");
      return;
    }
    const std::vector<std::string_view> rows(matches->records.begin(), matches->records.end());
    ResultText(context, dedupe::LookupJson(dedupe::LookUp(matches->new_record, rows), matches->ids));
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

}  // namespace

int RegisterSqliteFunctions(sqlite3* db) {
  struct Function {
    const char* name;
    int arguments;
    void (*call)(sqlite3_context*, int, sqlite3_value**);
  };
  static constexpr Function kFunctions[] = {
      {"korvix_key", -1, Key},
      {"korvix_phonetic", 1, OfText<PhoneticCode>},
      {"korvix_describe", 1, OfText<DescribeAlgorithm>},
      {"korvix_code", 1, Code},
      {"korvix_record", -1, Record},
      {"korvix_normalize", 1, OfText<NormalizeRecord>},
      {"korvix_score", 2, Score},
      {"korvix_explain", 2, Explain},
  };
  for (const Function& f : kFunctions) {
    const int rc = sqlite3_create_function_v2(db, f.name, f.arguments, kFlags, nullptr, f.call,
                                              nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  const int rc = sqlite3_create_function_v2(db, "korvix_matches", 3, kFlags, nullptr, nullptr, MatchesStep,
                                            MatchesFinal, nullptr);
  if (rc != SQLITE_OK) return rc;
  static const sqlite3_module kKeysModule = KeysModule();
  return sqlite3_create_module_v2(db, "korvix_keys", &kKeysModule, nullptr, nullptr);
}

}  // namespace korvix::sql
