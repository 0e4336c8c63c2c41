// The fields of a record: their numbers, their labels and the column names
// that feed them.
//
// One table serves the description of an algorithm, the editor's field box,
// the column recognition of `korvix dedupe` and of the Python package, so a
// CSV header maps the same wherever it is read.
#ifndef KORVIX_FIELDS_H_
#define KORVIX_FIELDS_H_

#include <span>
#include <string>
#include <string_view>

#include "korvix/export.h"

namespace korvix {

struct RecordField {
  int number;              // the field number of algorithm codes
  std::string_view label;  // as the editor and the description show it
  // Column names that feed the field, most specific first, as
  // FoldColumnName(name, true) gives them. Empty for the compounds 51-53.
  std::span<const std::string_view> column_names;
};

// Every field in the order of the editor's field box: PLZ, Ort, Straße,
// Suchbegriff, Bez1, Bez1+2, Bez1+2+3, Bez1+2+3+4, Bez2, Bez3, Bez4,
// Kundengruppe.
KORVIX_EXPORT std::span<const RecordField> RecordFields();

// The label of a field number: "PLZ" for 1 (and for anything below 1),
// ... "Kundengruppe" for 9, "Bez1+2" to "Bez1+2+3+4" for 51 to 53, and the
// empty label for 10 to 50 and above 53.
KORVIX_EXPORT std::string_view FieldLabel(int number);

// A column name in the form names are compared in: blanks and tabs around
// it removed, case folded (Unicode; "STRAßE" is "strasse"), bytes that are
// not UTF-8 read as Windows-1252. With `loose`, blanks, "_", "-" and "."
// inside are dropped too, so "Customer-Group" and "customer_group" meet.
KORVIX_EXPORT std::string FoldColumnName(std::string_view name, bool loose);

// The item (1 to 9) that a column of this name feeds, or 0. `*rank` (may be
// null) is the name's place in that field's list: 0 for the most specific.
KORVIX_EXPORT int FieldOfColumn(std::string_view name, int* rank = nullptr);

// The item (1 to 9) whose label `label` is, in any case ("Strasse" too), or 0.
KORVIX_EXPORT int FieldOfLabel(std::string_view label);

}  // namespace korvix

#endif  // KORVIX_FIELDS_H_
