#include "field_map.h"

#include <algorithm>
#include <initializer_list>

#include "cli.h"

namespace korvix::cli {

const std::array<std::string_view, kRecordFields> kFieldLabels = {
    "PLZ", "Ort", "Straße", "Suchbegriff", "Bez1", "Bez2", "Bez3", "Bez4", "Kundengruppe"};

namespace {

// Names each field goes by in headers, most specific first, written as
// Fold(name, true) gives them.
const std::array<std::initializer_list<std::string_view>, kRecordFields> kAliases = {{
    {"plz", "postleitzahl", "zip", "zipcode", "postcode", "postalcode"},
    {"ort", "stadt", "city", "town", "wohnort"},
    {"straße", "strasse", "str", "street", "address", "adresse", "anschrift"},
    {"suchbegriff", "suchname", "suchwort", "search", "searchterm", "matchcode"},
    {"bez1", "bezeichnung1", "name1", "name", "nachname", "lastname", "surname", "firma",
     "company"},
    {"bez2", "bezeichnung2", "name2", "vorname", "firstname", "givenname"},
    {"bez3", "bezeichnung3", "name3"},
    {"bez4", "bezeichnung4", "name4"},
    {"kundengruppe", "kdgruppe", "gruppe", "group", "customergroup"},
}};

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

void AppendUtf8(unsigned cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// A name in the form names are compared in: trimmed, lower case for ASCII
// and Latin-1 capitals, UTF-8 (a header from a legacy file may be
// Windows-1252, "Stra\xDF" + "e"). With `loose`, blanks, "_", "-" and "."
// are dropped as well, so "Customer-Group" and "customer_group" meet.
std::string Fold(std::string_view name, bool loose) {
  name = Trim(name);
  std::string out;
  const auto* s = reinterpret_cast<const unsigned char*>(name.data());
  const std::size_t n = name.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned b = s[i];
    if (b < 0x80) {
      ++i;
      if (loose && (b == ' ' || b == '_' || b == '-' || b == '.')) continue;
      out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b));
      continue;
    }
    unsigned cp = b;  // an invalid byte reads as the Latin-1 character
    std::size_t len = 1;
    if (b >= 0xC2 && b <= 0xDF && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
      cp = ((b & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if (b >= 0xE0 && b <= 0xF4) {
      // Longer sequences hold no letter that a field name needs; kept as is.
      const std::size_t want = b < 0xF0 ? 3 : 4;
      if (i + want <= n && std::all_of(s + i + 1, s + i + want,
                                       [](unsigned char c) { return (c & 0xC0) == 0x80; })) {
        out.append(name.substr(i, want));
        i += want;
        continue;
      }
    }
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) cp += 0x20;
    AppendUtf8(cp, &out);
    i += len;
  }
  return out;
}

std::string List(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) {
    if (!out.empty()) out += ", ";
    out += '"' + n + '"';
  }
  return out;
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

FieldMap FieldMap::FromHeader(std::span<const std::string_view> header) {
  FieldMap map(header);
  std::array<std::size_t, kRecordFields> rank;
  rank.fill(static_cast<std::size_t>(-1));
  bool any = false;
  for (std::size_t col = 0; col < header.size(); ++col) {
    const std::string name = Fold(header[col], true);
    for (std::size_t field = 0; field < kRecordFields; ++field) {
      std::size_t r = 0;
      for (const std::string_view alias : kAliases[field]) {
        if (alias == name && r < rank[field]) {
          rank[field] = r;
          map.columns_[field] = col;
          any = true;
        }
        ++r;
      }
    }
  }
  if (!any) {
    throw UsageError("no column of the header names a record field (columns: " +
                     List(map.header_) + "); give --map FIELD=COLUMN,...");
  }
  return map;
}

FieldMap FieldMap::FromOption(std::string_view option, std::span<const std::string_view> header) {
  FieldMap map(header);
  bool any = false;
  while (!option.empty()) {
    const std::size_t comma = option.find(',');
    const std::string_view item = Trim(option.substr(0, comma));
    option = comma == std::string_view::npos ? std::string_view() : option.substr(comma + 1);
    if (item.empty()) continue;
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) {
      throw UsageError("--map: \"" + std::string(item) + "\" is not FIELD=COLUMN");
    }
    const std::string_view label = Trim(item.substr(0, eq));
    const std::string_view column = Trim(item.substr(eq + 1));

    const std::string folded = Fold(label, false);
    std::size_t field = 0;
    while (field < kRecordFields && Fold(kFieldLabels[field], false) != folded) ++field;
    if (field == kRecordFields && folded == "strasse") field = 2;
    if (field == kRecordFields) {
      std::string labels;
      for (const std::string_view l : kFieldLabels) labels += (labels.empty() ? "" : ", ") + std::string(l);
      throw UsageError("--map: \"" + std::string(label) + "\" is not a record field; the fields are " +
                       labels);
    }
    if (map.columns_[field] != kUnmapped) {
      throw UsageError("--map: field " + std::string(kFieldLabels[field]) + " is mapped twice");
    }
    const std::string wanted = Fold(column, false);
    std::size_t col = 0;
    while (col < map.header_.size() && Fold(map.header_[col], false) != wanted) ++col;
    if (col == map.header_.size()) {
      throw UsageError("--map: the header has no column \"" + std::string(column) +
                       "\"; its columns are " + List(map.header_));
    }
    map.columns_[field] = col;
    any = true;
  }
  if (!any) throw UsageError("--map: no FIELD=COLUMN given");
  return map;
}

std::vector<std::string> FieldMap::Describe() const {
  std::vector<std::string> lines;
  std::vector<bool> used(header_.size(), false);
  for (std::size_t field = 0; field < kRecordFields; ++field) {
    const std::size_t col = columns_[field];
    if (col == kUnmapped) {
      lines.push_back(std::string(kFieldLabels[field]) + ": no column, stays empty");
    } else {
      used[col] = true;
      lines.push_back(std::string(kFieldLabels[field]) + " <- \"" + header_[col] + "\" (column " +
                      std::to_string(col + 1) + ")");
    }
  }
  std::vector<std::string> unused;
  for (std::size_t col = 0; col < header_.size(); ++col) {
    if (!used[col]) unused.push_back(header_[col]);
  }
  if (!unused.empty()) lines.push_back("columns not used: " + List(unused));
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

}  // namespace korvix::cli
