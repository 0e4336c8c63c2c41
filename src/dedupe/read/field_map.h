// Which CSV column feeds which of the nine items of a record string.
#ifndef KORVIX_DEDUPE_FIELD_MAP_H_
#define KORVIX_DEDUPE_FIELD_MAP_H_

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvix::dedupe {

inline constexpr std::size_t kRecordFields = 9;

// Maps the columns of a CSV header to the record fields. A field that no
// column feeds stays empty in every record string. Names are compared as
// FoldColumnName (korvix/fields.h) gives them.
class FieldMap {
 public:
  static constexpr std::size_t kUnmapped = static_cast<std::size_t>(-1);

  // Maps by the names of the header's columns (FieldOfColumn: each field
  // accepts its label and common German and English names, such as
  // PLZ/Postleitzahl/zip, Ort/Stadt/city, Straße/street, Bez1/Name1/name,
  // Bez2/Name2/Vorname; blanks, "_", "-" and "." inside a name do not count).
  // When two columns name one field, the more specific name (Name1 before
  // name), then the first column, wins. Then `option` (the --map text
  // "PLZ=zip,Ort=city,...", empty for none) ties fields to columns by name:
  // labels in any case ("Strasse" too); a column named there feeds only the
  // fields named with it, the other fields keep their recognised columns.
  // Throws UsageError with a clear message for a malformed item, an unknown
  // field, a field named twice, or a column the header does not have, and
  // when no column feeds any field.
  static FieldMap Make(std::span<const std::string_view> header, std::string_view option = {});

  // Throws UsageError unless every item in `needed` (numbers 1 to 9, as
  // AlgorithmSlot reads them) has a column: the key would be built from an
  // empty value in every record. The message names the header's columns
  // and gives a --map example.
  void RequireFields(std::span<const int> needed) const;

  // The number of columns of the header, which every record must have.
  std::size_t columns() const { return header_.size(); }

  // The 0-based column that feeds field `field` (0 = PLZ … 8 =
  // Kundengruppe), or kUnmapped.
  std::size_t column(std::size_t field) const { return columns_[field]; }

  // One line per field for --verbose, such as `PLZ <- "Postleitzahl"
  // (column 1)` or `Bez4: no column, stays empty`, then a line naming the
  // columns that feed no field, if any; names as AppendReadable shows them.
  std::vector<std::string> Describe() const;

  // Sets `*out` to the record string of a CSV record: the nine items joined
  // by "|". As a record string has no quoting, a "|" inside a value would
  // shift every later item, so it becomes a blank; so does each line break
  // (CRLF, LF or CR) inside a value, keeping one record string one line.
  // Every other byte stays as it is. Returns false, leaving `*out` alone,
  // iff the record does not have exactly columns() fields.
  bool RecordString(std::span<const std::string_view> fields, std::string* out) const;

 private:
  explicit FieldMap(std::span<const std::string_view> header);

  std::vector<std::string> header_;  // the names, trimmed, for messages
  std::array<std::size_t, kRecordFields> columns_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_FIELD_MAP_H_
