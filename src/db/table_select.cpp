#include "db/table_select.h"

#include <cstddef>

namespace korvix::db {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Bytes of UTF-8 sequences count as letters, as both databases allow them
// in bare names.
bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsNamePart(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }

  // Consumes `word` (lower case) as a whole word in any case.
  bool Keyword(std::string_view word) {
    SkipBlanks();
    if (text_.size() - pos_ < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (Lower(text_[pos_ + i]) != word[i]) return false;
    }
    std::size_t end = pos_ + word.size();
    if (end < text_.size() && IsNamePart(text_[end])) return false;
    pos_ = end;
    return true;
  }

  bool Char(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  // Consumes a bare or double-quoted name.
  bool Name() {
    SkipBlanks();
    if (pos_ >= text_.size()) return false;
    if (text_[pos_] == '"') {
      for (std::size_t i = pos_ + 1; i < text_.size(); ++i) {
        if (text_[i] != '"') continue;
        if (i + 1 < text_.size() && text_[i + 1] == '"') {
          ++i;  // a doubled quote inside the name
          continue;
        }
        if (i == pos_ + 1) return false;  // "" names nothing
        pos_ = i + 1;
        return true;
      }
      return false;
    }
    if (!IsNameStart(text_[pos_])) return false;
    while (pos_ < text_.size() && IsNamePart(text_[pos_])) ++pos_;
    return true;
  }

  bool AtEnd() {
    SkipBlanks();
    while (pos_ < text_.size() && text_[pos_] == ';') {
      ++pos_;
      SkipBlanks();
    }
    return pos_ == text_.size();
  }

  std::size_t pos() const { return pos_; }
  void set_pos(std::size_t pos) { pos_ = pos; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<TableSelect> ParseTableSelect(std::string_view sql) {
  Scanner scan(sql);
  if (!scan.Keyword("select") || !scan.Char('*')) return std::nullopt;
  const std::size_t after_star = scan.pos();
  if (!scan.Keyword("from")) return std::nullopt;
  scan.SkipBlanks();
  const std::size_t table_start = scan.pos();
  if (!scan.Name()) return std::nullopt;
  std::size_t table_end = scan.pos();
  if (scan.Char('.')) {
    if (!scan.Name()) return std::nullopt;
    table_end = scan.pos();
  } else {
    scan.set_pos(table_end);
  }

  // Only a filter, an order or a limit may follow: a join, a grouping or a
  // second table would make "the row" of the set ambiguous.
  const std::size_t rest = scan.pos();
  if (!scan.AtEnd()) {
    scan.set_pos(rest);
    if (!scan.Keyword("where") && !scan.Keyword("order") && !scan.Keyword("limit")) {
      return std::nullopt;
    }
  }
  return TableSelect{std::string(sql.substr(table_start, table_end - table_start)),
                     std::string(sql.substr(after_star))};
}

bool IsSelect(std::string_view sql) {
  Scanner scan(sql);
  while (scan.Char('(')) {
  }
  return scan.Keyword("select");
}

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace korvix::db
