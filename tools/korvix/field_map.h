// Which CSV column feeds which of the nine items of a record string.
#ifndef KORVIX_TOOLS_FIELD_MAP_H_
#define KORVIX_TOOLS_FIELD_MAP_H_

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvix::cli {

inline constexpr std::size_t kRecordFields = 9;

// The record-string items in order, by the labels the algorithm editor uses:
// PLZ, Ort, Straße, Suchbegriff, Bez1, Bez2, Bez3, Bez4, Kundengruppe.
extern const std::array<std::string_view, kRecordFields> kFieldLabels;

// Maps the columns of a CSV header to the record fields. A field that no
// column feeds stays empty in every record string. Header names are compared
// without regard to case (ASCII and Latin-1 letters, so "STRAßE" is
// "Straße") after removing leading and trailing blanks and tabs.
class FieldMap {
 public:
  static constexpr std::size_t kUnmapped = static_cast<std::size_t>(-1);

  // Maps by the names of the header's columns. Each field accepts its label
  // and common German and English names: PLZ/Postleitzahl/zip/postcode,
  // Ort/Stadt/city/town, Straße/Strasse/street/address, Suchbegriff/search/
  // matchcode, Bez1/Name1/name/company, Bez2/Name2/Vorname, Bez3/Name3,
  // Bez4/Name4, Kundengruppe/Gruppe/group/customer_group; blanks, "_", "-" and
  // "." inside a name do not count. When two columns name one field, the more
  // specific name (Name1 before name), then the first column, wins.
  // Throws UsageError when no column names any field: the file has no usable
  // header, and the caller should ask for --map.
  static FieldMap FromHeader(std::span<const std::string_view> header);

  // Maps by an explicit option text "PLZ=zip,Ort=city,Straße=street,...":
  // field labels as above ("Strasse" for "Straße" too, any case), each with
  // the name of a header column. Only the fields named are mapped. Throws
  // UsageError with a clear message for a malformed item, an unknown field,
  // a field named twice, or a column that the header does not have.
  static FieldMap FromOption(std::string_view option, std::span<const std::string_view> header);

  // The number of columns of the header, which every record must have.
  std::size_t columns() const { return header_.size(); }

  // The 0-based column that feeds field `field` (0 = PLZ … 8 =
  // Kundengruppe), or kUnmapped.
  std::size_t column(std::size_t field) const { return columns_[field]; }

  // One line per field for --verbose, such as `PLZ <- "Postleitzahl"
  // (column 1)` or `Bez4: no column, stays empty`, then a line naming the
  // columns that feed no field, if any.
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

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_FIELD_MAP_H_
