// The CSV report: every record with its key and group number.
#include <numeric>
#include <string>
#include <vector>

#include "cli.h"
#include "dedupe/printable.h"
#include "dedupe/report.h"

namespace korvix::cli {

namespace {

// Appends one field, quoted when it holds the delimiter, a quote or a line
// break; a quote inside is doubled.
void AppendField(std::string_view value, char delimiter, std::string* row) {
  bool quote = false;
  for (const char c : value) {
    if (c == delimiter || c == '"' || c == '\n' || c == '\r') {
      quote = true;
      break;
    }
  }
  if (!quote) {
    row->append(value);
    return;
  }
  row->push_back('"');
  for (const char c : value) {
    if (c == '"') row->push_back('"');
    row->push_back(c);
  }
  row->push_back('"');
}

}  // namespace

void WriteCsvReport(const ReportInput& in, bool sorted, Output* out) {
  const char delimiter = in.csv != nullptr ? in.csv->delimiter() : ',';
  std::string row, text;
  const auto end_row = [&] {
    row.back() = '\r';  // the delimiter after the last field
    row.push_back('\n');
    out->Write(row);
    row.clear();
  };
  for (const std::string_view name : {"line", "key", "group"}) {
    row.append(name);
    row.push_back(delimiter);
  }
  if (in.csv != nullptr) {
    for (const std::string& name : in.csv->header()) {
      text.clear();
      AppendPrintable(name, &text);
      AppendField(text, delimiter, &row);
      row.push_back(delimiter);
    }
  } else {
    row += "record";
    row.push_back(delimiter);
  }
  end_row();

  // Indexed by position in key order, or by record in input order: either
  // way the report reads it front to back.
  const std::vector<std::uint32_t> group =
      sorted ? GroupNumbersInKeyOrder(in.table.size(), in.groups)
             : GroupNumbers(in.table.size(), in.groups, in.sorted);
  std::vector<std::uint32_t> input_order;
  if (!sorted) {
    input_order.resize(in.table.size());
    std::iota(input_order.begin(), input_order.end(), 0u);
  }
  std::vector<std::string_view> fields;
  in.reader.ForEachInOrder(sorted ? in.sorted : std::span<const std::uint32_t>(input_order),
                           in.budget, [&](const RecordReader::Visited& v) {
    AppendNumber(v.line, &row);
    row.push_back(delimiter);
    AppendField(v.key, delimiter, &row);
    row.push_back(delimiter);
    AppendNumber(group[sorted ? v.position : v.record], &row);
    row.push_back(delimiter);
    if (in.csv == nullptr) {
      text.clear();
      AppendPrintable(v.bytes, &text);
      AppendField(text, delimiter, &row);
      row.push_back(delimiter);
    } else {
      if (!in.csv->Fields(v.bytes, &fields)) {
        throw IoError("cannot read line " + std::to_string(v.line) +
                      " again: the input changed during the run");
      }
      for (const std::string_view f : fields) {
        text.clear();
        AppendPrintable(f, &text);
        AppendField(text, delimiter, &row);
        row.push_back(delimiter);
      }
    }
    end_row();
  });
}

}  // namespace korvix::cli
