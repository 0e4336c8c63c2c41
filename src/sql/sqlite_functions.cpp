#include "sql/sqlite_functions.h"

#ifdef KORVIX_SQLITE_LOADABLE
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
      for (int i = 1; i < argc; ++i) {
        if (i > 1) joined += '|';
        if (const auto field = Text(argv[i])) joined += *field;
      }
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
  };
  for (const Function& f : kFunctions) {
    const int rc = sqlite3_create_function_v2(db, f.name, f.arguments, kFlags, nullptr, f.call,
                                              nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace korvix::sql
