// The JSON report: the groups, or every record by key.
#include <cstdio>
#include <string>
#include <vector>

#include "dedupe/printable.h"
#include "dedupe/report.h"
#include "json.h"

namespace korvix::cli {

namespace {

void AppendRecord(const ReportInput& in, std::string_view bytes, std::string* scratch,
                  std::string* text, std::string* out) {
  text->clear();
  AppendPrintable(in.source.RecordString(bytes, scratch), text);
  out->append("\"record\": ");
  AppendJsonString(*text, out);
}

void WriteGroups(const ReportInput& in, Output* out) {
  const GroupedRecords grouped = RecordsOfGroups(in);
  const std::vector<std::size_t>& group_end = grouped.ends;
  out->Write("\"groups\": [");
  std::size_t group = 0;
  std::string s, record, text;
  in.reader.ForEachInOrder(grouped.records, in.budget, [&](const RecordReader::Visited& v) {
    s.clear();
    const std::size_t begin = group == 0 ? 0 : group_end[group - 1];
    if (v.position == begin) {
      s += group == 0 ? "\n{\"key\": " : ",\n{\"key\": ";
      AppendJsonString(v.key, &s);
      s += ", \"size\": ";
      AppendNumber(group_end[group] - begin, &s);
      s += ", \"records\": [\n  ";
    } else {
      s += ",\n  ";
    }
    s += "{\"line\": ";
    AppendNumber(v.line, &s);
    s += ", ";
    AppendRecord(in, v.bytes, &record, &text, &s);
    s += "}";
    if (v.position + 1 == group_end[group]) {
      s += "]}";
      ++group;
    }
    out->Write(s);
  });
  out->Write(in.groups.empty() ? "],\n" : "\n],\n");
}

void WriteSorted(const ReportInput& in, Output* out) {
  const std::vector<std::uint32_t> group = GroupNumbersInKeyOrder(in.table.size(), in.groups);
  out->Write("\"records\": [");
  std::string s, record, text;
  in.reader.ForEachInOrder(in.sorted, in.budget, [&](const RecordReader::Visited& v) {
    s.assign(v.position == 0 ? "\n{\"line\": " : ",\n{\"line\": ");
    AppendNumber(v.line, &s);
    s += ", \"key\": ";
    AppendJsonString(v.key, &s);
    s += ", \"group\": ";
    AppendNumber(group[v.position], &s);
    s += ", ";
    AppendRecord(in, v.bytes, &record, &text, &s);
    s += "}";
    out->Write(s);
  });
  out->Write(in.sorted.empty() ? "],\n" : "\n],\n");
}

}  // namespace

void WriteJsonReport(const ReportInput& in, bool sorted, Output* out) {
  std::string head = "{\"algorithm\": {\"code\": ";
  std::string text;
  AppendPrintable(in.algorithm_code, &text);
  AppendJsonString(text, &head);
  head += ", \"name\": ";
  text.clear();
  AppendPrintable(in.algorithm_name, &text);
  AppendJsonString(text, &head);
  head += "},\n";
  out->Write(head);
  if (sorted) {
    WriteSorted(in, out);
  } else {
    WriteGroups(in, out);
  }
  const RunSummary summary = in.Summary();
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", summary.seconds);
  out->Write("\"summary\": {\"records\": " + std::to_string(summary.records) +
             ", \"groups\": " + std::to_string(summary.groups) +
             ", \"records_in_groups\": " + std::to_string(summary.in_groups) +
             ", \"skipped\": " + std::to_string(summary.skipped) + ", \"seconds\": " + seconds +
             "}}\n");
}

}  // namespace korvix::cli
