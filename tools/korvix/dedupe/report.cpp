#include "dedupe/report.h"

#include <cstdio>

#include "cli.h"

namespace korvix::cli {

ReportFormat ReportFormatFromOption(std::string_view value) {
  if (value == "text") return ReportFormat::kText;
  if (value == "csv") return ReportFormat::kCsv;
  if (value == "json") return ReportFormat::kJson;
  throw UsageError("--format must be text, csv or json, not '" + std::string(value) + "'");
}

std::string SummaryLine(const RunSummary& s) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", s.seconds);
  return "records " + std::to_string(s.records) + ", groups " + std::to_string(s.groups) +
         ", records in groups " + std::to_string(s.in_groups) + ", seconds " + seconds +
         ", skipped " + std::to_string(s.skipped);
}

RunSummary ReportInput::Summary() const {
  RunSummary s;
  s.records = table.size();
  s.groups = groups.size();
  for (const Group& g : groups) s.in_groups += g.size;
  s.skipped = source.skipped();
  s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return s;
}

GroupedRecords RecordsOfGroups(const ReportInput& in) {
  GroupedRecords grouped;
  for (const Group& g : in.groups) {
    const auto first = in.sorted.begin() + static_cast<std::ptrdiff_t>(g.begin);
    grouped.records.insert(grouped.records.end(), first, first + static_cast<std::ptrdiff_t>(g.size));
    grouped.ends.push_back(grouped.records.size());
  }
  return grouped;
}

}  // namespace korvix::cli
