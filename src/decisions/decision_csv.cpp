// Decisions as a CSV file, to take them from one database to another.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/csv.h"
#include "db/column_name.h"
#include "dedupe/read/csv_reader.h"
#include "korvix/decisions.h"

namespace korvix {
namespace {

// The first three are required; version 1 wrote no field.
constexpr std::array<std::string_view, 7> kColumns = {"kind", "record_a", "record_b", "field", "note", "who", "when"};

}  // namespace

std::string DecisionsCsv(std::span<const Decision> decisions) {
  std::string csv = "kind;record_a;record_b;field;note;who;when\n";
  for (const Decision& d : decisions) {
    const std::string_view fields[] = {DecisionKindName(d.kind), d.a, d.b, d.field, d.note, d.who, d.when};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
      if (i > 0) csv.push_back(';');
      base::AppendCsvField(fields[i], ';', &csv);
    }
    csv.push_back('\n');
  }
  return csv;
}

std::vector<Decision> ReadDecisionsCsv(const std::string& path) {
  const auto fail = [&](const std::string& why) { throw Error(ErrorCode::kIo, path + ": " + why); };
  struct File {
    int fd;
    ~File() {
      if (fd >= 0) ::close(fd);
    }
  } file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) fail("cannot be read");
  dedupe::CsvReader reader(file.fd, path);
  dedupe::CsvRecord record;
  if (!reader.Next(&record) || !record.ok()) fail("has no header kind;record_a;record_b;field;note;who;when");
  std::array<std::size_t, kColumns.size()> at;
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    at[c] = record.fields.size();
    for (std::size_t f = 0; f < record.fields.size(); ++f) {
      if (db::SameColumnName(record.fields[f], kColumns[c])) at[c] = f;
    }
    if (at[c] == record.fields.size() && c < 3) fail("has no column " + std::string(kColumns[c]));
  }
  std::vector<Decision> decisions;
  while (reader.Next(&record)) {
    const std::string where = "line " + std::to_string(record.line) + ": ";
    if (!record.ok()) fail(where + record.error);
    const auto field = [&](std::size_t c) {
      return at[c] < record.fields.size() ? std::string(record.fields[at[c]]) : std::string();
    };
    Decision& d = decisions.emplace_back();
    try {
      d.kind = ReadDecisionKind(field(0));
    } catch (const Error& e) {
      fail(where + e.what());
    }
    d.a = field(1);
    d.b = field(2);
    d.field = field(3);
    d.note = field(4);
    d.who = field(5);
    d.when = field(6);
    const bool pair = d.kind == DecisionKind::kSame || d.kind == DecisionKind::kDifferent;
    if (d.a.empty() || (pair && d.b.empty())) fail(where + "a record is missing");
    if (d.kind == DecisionKind::kValue && d.field.empty()) fail(where + "a value decision names its field");
  }
  return decisions;
}

}  // namespace korvix
