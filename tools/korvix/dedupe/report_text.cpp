// The text report: the groups, or every record by key.
#include <string>
#include <vector>

#include "dedupe/printable.h"
#include "dedupe/report.h"

namespace korvix::cli {

namespace {

void WriteGroups(const ReportInput& in, Output* out) {
  const GroupedRecords grouped = RecordsOfGroups(in);
  const std::vector<std::size_t>& group_end = grouped.ends;
  std::size_t group = 0;
  std::string line, scratch;
  in.reader.ForEachInOrder(grouped.records, in.budget, [&](const RecordReader::Visited& v) {
    line.clear();
    const std::size_t begin = group == 0 ? 0 : group_end[group - 1];
    if (v.position == begin) {
      line += "key ";
      line += v.key;
      line += " (";
      AppendNumber(group_end[group] - begin, &line);
      line += " records)\n";
    }
    line += "  ";
    AppendNumber(v.line, &line);
    line += ": ";
    AppendPrintable(in.source.RecordString(v.bytes, &scratch), &line);
    line.push_back('\n');
    if (v.position + 1 == group_end[group]) {
      line.push_back('\n');
      ++group;
    }
    out->Write(line);
  });
}

void WriteSorted(const ReportInput& in, Output* out) {
  std::string line, scratch;
  in.reader.ForEachInOrder(in.sorted, in.budget, [&](const RecordReader::Visited& v) {
    line.assign(v.key);
    line += "  ";
    AppendNumber(v.line, &line);
    line += ": ";
    AppendPrintable(in.source.RecordString(v.bytes, &scratch), &line);
    line.push_back('\n');
    out->Write(line);
  });
}

}  // namespace

void WriteTextReport(const ReportInput& in, bool sorted, Output* out) {
  if (sorted) {
    WriteSorted(in, out);
  } else {
    WriteGroups(in, out);
  }
  out->Line(SummaryLine(in.Summary()));
}

}  // namespace korvix::cli
