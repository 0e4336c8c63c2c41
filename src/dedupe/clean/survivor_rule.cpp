#include "dedupe/clean/survivor_rule.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "dedupe/core/error.h"
#include "korvix/text.h"

namespace korvix::dedupe {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool Digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view digits) {
  int n = 0;
  for (const char c : digits) n = n * 10 + (c - '0');
  return n;
}

// YYYYMMDD for an ISO or a German date, else -1.
long long DateOf(std::string_view v) {
  int y = 0, m = 0, d = 0;
  if (v.size() == 10 && v[4] == '-' && v[7] == '-' && Digits(v.substr(0, 4)) && Digits(v.substr(5, 2)) &&
      Digits(v.substr(8, 2))) {
    y = Number(v.substr(0, 4)), m = Number(v.substr(5, 2)), d = Number(v.substr(8, 2));
  } else {
    const std::size_t a = v.find('.'), b = a == std::string_view::npos ? a : v.find('.', a + 1);
    if (b == std::string_view::npos || a < 1 || a > 2 || b - a - 1 < 1 || b - a - 1 > 2 ||
        v.size() - b - 1 != 4 || !Digits(v.substr(0, a)) || !Digits(v.substr(a + 1, b - a - 1)) ||
        !Digits(v.substr(b + 1))) {
      return -1;
    }
    d = Number(v.substr(0, a)), m = Number(v.substr(a + 1, b - a - 1)), y = Number(v.substr(b + 1));
  }
  if (m < 1 || m > 12 || d < 1 || d > 31) return -1;
  return y * 10000LL + m * 100 + d;
}

// A number with an optional sign and one decimal comma or point.
bool NumberOf(std::string_view v, double* out) {
  std::string s(v);
  std::size_t i = s[0] == '-' || s[0] == '+' ? 1 : 0, marks = 0, digits = 0;
  for (std::size_t k = i; k < s.size(); ++k) {
    if (s[k] == ',' || s[k] == '.') {
      s[k] = '.';
      ++marks;
    } else if (s[k] >= '0' && s[k] <= '9') {
      ++digits;
    } else {
      return false;
    }
  }
  if (digits == 0 || marks > 1) return false;
  *out = std::strtod(s.c_str(), nullptr);
  return std::isfinite(*out);
}

// A value of a max: column as it orders: empty < text < number < date.
struct Sortable {
  int rank = 0;
  double number = 0;
  std::string_view text;

  explicit Sortable(std::string_view v) : text(v) {
    if (v.empty()) return;
    if (const long long date = DateOf(v); date >= 0) {
      rank = 3, number = static_cast<double>(date);
    } else if (NumberOf(v, &number)) {
      rank = 2;
    } else {
      rank = 1;
    }
  }
  bool operator>(const Sortable& o) const {
    if (rank != o.rank) return rank > o.rank;
    if (rank == 1) return text > o.text;
    return number > o.number;
  }
};

bool MarksMaster(std::string_view v) {
  if (v.empty()) return false;
  std::string lower(v);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower != "0" && lower != "no" && lower != "nein" && lower != "false";
}

std::size_t Filled(const std::vector<RawField>& fields) {
  return static_cast<std::size_t>(
      std::count_if(fields.begin(), fields.end(), [](const RawField& f) { return !f.value.empty(); }));
}

const std::string& ValueAt(const std::vector<RawField>& fields, std::size_t column) {
  static const std::string kEmpty;
  return column < fields.size() ? fields[column].value : kEmpty;
}

}  // namespace

SurvivorRule ParseSurvivorRule(std::string_view text) {
  SurvivorRule rule;
  if (text == "most-complete") return rule;
  if (text == "first") {
    rule.kind = SurvivorKind::kFirst;
    return rule;
  }
  const std::size_t colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  if (colon != std::string_view::npos && colon + 1 < text.size() && (name == "max" || name == "master")) {
    rule.kind = name == "max" ? SurvivorKind::kMax : SurvivorKind::kMaster;
    rule.column = std::string(text.substr(colon + 1));
    return rule;
  }
  throw UsageError("--survivor must be most-complete, first, max:COLUMN or master:COLUMN, not '" +
                   MessageText(text) + "'");
}

void SplitFields(std::string_view bytes, const RecordLayout& layout, std::vector<RawField>* fields) {
  fields->clear();
  std::size_t p = 0;
  while (true) {
    const std::size_t begin = p;
    RawField field;
    if (layout.quoted && p < bytes.size() && bytes[p] == '"') {
      // To the closing quote, a doubled quote being one.
      for (++p; p < bytes.size(); ++p) {
        if (bytes[p] != '"') {
          field.value.push_back(bytes[p]);
        } else if (p + 1 < bytes.size() && bytes[p + 1] == '"') {
          field.value.push_back('"');
          ++p;
        } else {
          ++p;
          break;
        }
      }
      while (p < bytes.size() && bytes[p] != layout.delimiter) ++p;
    } else {
      const std::size_t end = bytes.find(layout.delimiter, p);
      p = end == std::string_view::npos ? bytes.size() : end;
      field.value = std::string(bytes.substr(begin, p - begin));
    }
    field.raw = bytes.substr(begin, p - begin);
    field.value = std::string(Trim(field.value));
    fields->push_back(std::move(field));
    if (p >= bytes.size()) return;
    ++p;  // the delimiter
  }
}

std::vector<std::size_t> RankMembers(const SurvivorRule& rule, std::size_t column,
                                     std::span<const std::vector<RawField>> members, bool* several) {
  std::vector<std::size_t> order(members.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  *several = false;
  SurvivorKind kind = rule.kind;
  std::vector<bool> master;
  if (kind == SurvivorKind::kMaster) {
    for (const auto& m : members) master.push_back(MarksMaster(ValueAt(m, column)));
    const auto marked = std::count(master.begin(), master.end(), true);
    *several = marked > 1;
    if (marked == 0) kind = SurvivorKind::kMostComplete;
  }
  switch (kind) {
    case SurvivorKind::kFirst: break;
    case SurvivorKind::kMostComplete: {
      std::vector<std::size_t> filled;
      for (const auto& m : members) filled.push_back(Filled(m));
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return filled[a] > filled[b]; });
      break;
    }
    case SurvivorKind::kMax: {
      std::vector<Sortable> values;
      for (const auto& m : members) values.emplace_back(ValueAt(m, column));
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return values[a] > values[b]; });
      break;
    }
    case SurvivorKind::kMaster:
      std::stable_partition(order.begin(), order.end(), [&](std::size_t m) { return master[m]; });
      break;
  }
  return order;
}

}  // namespace korvix::dedupe
