#include "dedupe/read/field_map.h"

#include <algorithm>
#include <array>
#include <limits>

#include "korvix/text.h"
#include "dedupe/core/error.h"
#include "dedupe/core/printable.h"
#include "korvix/fields.h"

namespace korvix::dedupe {

namespace {

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string List(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) {
    if (!out.empty()) out += ", ";
    out += '"' + MessageText(n) + '"';
  }
  return out;
}

std::string Label(std::size_t field) { return std::string(FieldLabel(static_cast<int>(field + 1))); }

std::string Labels() {
  std::string labels;
  for (std::size_t f = 0; f < kRecordFields; ++f) labels += (f == 0 ? "" : ", ") + Label(f);
  return labels;
}

inline bool Special(char c) { return c == '|' || c == '\n' || c == '\r'; }

// Appends `value` with every "|" and line break made one blank.
void AppendItem(std::string_view value, std::string* out) {
  const char* const p = value.data();
  const std::size_t n = value.size();
  std::size_t i = 0;
  while (i < n && !Special(p[i])) ++i;
  out->append(p, i);  // all of it, in the common case
  for (; i < n; ++i) {
    const char c = p[i];
    if (!Special(c)) {
      out->push_back(c);
      continue;
    }
    out->push_back(' ');
    if (c == '\r' && i + 1 < n && p[i + 1] == '\n') ++i;
  }
}

}  // namespace

FieldMap::FieldMap(std::span<const std::string_view> header) {
  for (const std::string_view name : header) header_.emplace_back(Trim(name));
  columns_.fill(kUnmapped);
}

FieldMap FieldMap::Make(std::span<const std::string_view> header, std::string_view option) {
  FieldMap map(header);
  // The explicit ties first: a column they name feeds only their fields.
  std::array<bool, kRecordFields> tied{};
  std::vector<bool> taken(header.size(), false);
  const bool with_option = !option.empty();
  while (!option.empty()) {
    const std::size_t comma = option.find(',');
    const std::string_view item = Trim(option.substr(0, comma));
    option = comma == std::string_view::npos ? std::string_view() : option.substr(comma + 1);
    if (item.empty()) continue;
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) {
      throw UsageError("--map: \"" + MessageText(item) + "\" is not FIELD=COLUMN");
    }
    const std::string_view label = Trim(item.substr(0, eq));
    const std::string_view column = Trim(item.substr(eq + 1));
    const int number = FieldOfLabel(label);
    if (number == 0) {
      throw UsageError("--map: \"" + MessageText(label) +
                       "\" is not a record field; the fields are " + Labels());
    }
    const auto field = static_cast<std::size_t>(number - 1);
    if (tied[field]) throw UsageError("--map: field " + Label(field) + " is mapped twice");
    const std::string wanted = FoldColumnName(column, false);
    std::size_t col = 0;
    while (col < map.header_.size() && FoldColumnName(map.header_[col], false) != wanted) ++col;
    if (col == map.header_.size()) {
      throw UsageError("--map: the header has no column \"" + MessageText(column) +
                       "\"; its columns are " + List(map.header_));
    }
    map.columns_[field] = col;
    tied[field] = true;
    taken[col] = true;
  }
  if (with_option && std::none_of(tied.begin(), tied.end(), [](bool t) { return t; })) {
    throw UsageError("--map: no FIELD=COLUMN given");
  }
  std::array<int, kRecordFields> rank;
  rank.fill(std::numeric_limits<int>::max());
  for (std::size_t col = 0; col < header.size(); ++col) {
    int r = 0;
    const int number = taken[col] ? 0 : FieldOfColumn(header[col], &r);
    if (number == 0) continue;
    const auto field = static_cast<std::size_t>(number - 1);
    if (!tied[field] && r < rank[field]) {
      rank[field] = r;
      map.columns_[field] = col;
    }
  }
  if (std::all_of(map.columns_.begin(), map.columns_.end(),
                  [](std::size_t c) { return c == kUnmapped; })) {
    throw UsageError("no column of the header names a record field (columns: " +
                     List(map.header_) + "); give --map FIELD=COLUMN,...");
  }
  return map;
}

void FieldMap::RequireFields(std::span<const int> needed) const {
  std::string missing;
  for (const int number : needed) {
    if (number < 1 || number > static_cast<int>(kRecordFields)) continue;
    const auto field = static_cast<std::size_t>(number - 1);
    if (columns_[field] != kUnmapped || missing.find(Label(field)) != std::string::npos) continue;
    missing += (missing.empty() ? "" : ", ") + Label(field);
  }
  if (missing.empty()) return;
  const std::string example = header_.empty() ? "COLUMN" : MessageText(header_.front());
  const std::string first = missing.substr(0, missing.find(','));
  throw UsageError("no column feeds " + missing + ", which the algorithm reads (columns: " +
                   List(header_) + "); tie it to a column with --map, such as --map " + first +
                   "=" + example);
}

std::vector<std::string> FieldMap::Describe() const {
  std::vector<std::string> lines;
  std::vector<bool> used(header_.size(), false);
  for (std::size_t field = 0; field < kRecordFields; ++field) {
    const std::size_t col = columns_[field];
    if (col == kUnmapped) {
      lines.push_back(Label(field) + ": no column, stays empty");
    } else {
      used[col] = true;
      std::string name;
      AppendReadable(header_[col], &name);
      lines.push_back(Label(field) + " <- \"" + name + "\" (column " + std::to_string(col + 1) + ")");
    }
  }
  std::string unused;
  for (std::size_t col = 0; col < header_.size(); ++col) {
    if (used[col]) continue;
    unused += unused.empty() ? "\"" : ", \"";
    AppendReadable(header_[col], &unused);
    unused += '"';
  }
  if (!unused.empty()) lines.push_back("columns not used: " + unused);
  return lines;
}

bool FieldMap::RecordString(std::span<const std::string_view> fields, std::string* out) const {
  if (fields.size() != header_.size()) return false;
  out->clear();
  for (std::size_t field = 0; field < kRecordFields; ++field) {
    if (field > 0) out->push_back('|');
    if (columns_[field] != kUnmapped) AppendItem(fields[columns_[field]], out);
  }
  return true;
}

}  // namespace korvix::dedupe
