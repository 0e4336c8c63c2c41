#include "dedupe/report.h"

#include <algorithm>
#include <cstdio>

#include "dedupe/error.h"
#include "dedupe/printable.h"

namespace korvix::dedupe {

ReportFormat ReportFormatFromOption(std::string_view value) {
  if (value == "text") return ReportFormat::kText;
  if (value == "csv") return ReportFormat::kCsv;
  if (value == "json") return ReportFormat::kJson;
  throw UsageError("--format must be text, csv or json, not '" + std::string(value) + "'");
}

std::string SummaryLine(const RunSummary& s) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", s.seconds);
  std::string line = "records " + std::to_string(s.records);
  if (s.with_base) {
    line += ", base records " + std::to_string(s.base_records) + ", records matched " +
            std::to_string(s.in_groups) + ", pairs " + std::to_string(s.pairs);
  } else {
    line += ", groups " + std::to_string(s.groups) + ", records in groups " + std::to_string(s.in_groups);
  }
  if (s.verified) line += ", pairs compared " + std::to_string(s.compared);
  return line + ", seconds " + seconds + ", skipped " + std::to_string(s.skipped);
}

RunSummary ReportInput::Summary() const {
  RunSummary s;
  s.records = input.table.size();
  s.groups = links.group_ends.size();
  s.in_groups = links.members.size();
  s.skipped = input.source.skipped();
  s.verified = verified;
  s.compared = links.compared;
  if (base != nullptr) {
    s.with_base = true;
    s.base_records = base->table.size();
    s.pairs = links.pairs.size();
    s.skipped += base->source.skipped();
    s.in_groups = 0;
    for (const std::uint32_t g : links.group) s.in_groups += g != 0;
  }
  s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return s;
}

std::vector<std::uint32_t> MatchedRecords(const ReportInput& in) {
  std::vector<std::uint32_t> matched;
  for (const DedupePair& p : in.links.pairs) {
    if (matched.empty() || matched.back() != p.a) matched.push_back(p.a);
  }
  return matched;
}

std::unordered_map<std::uint32_t, std::string> BaseRecordStrings(const ReportInput& in) {
  std::vector<std::uint32_t> wanted;
  for (const DedupePair& p : in.links.pairs) wanted.push_back(p.b);
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  std::unordered_map<std::uint32_t, std::string> strings;
  std::string scratch;
  in.base->reader.ForEach(wanted, [&](const RecordReader::Visited& v) {
    AppendPrintable(in.base->source.RecordString(v.bytes, &scratch), &strings[v.record]);
  });
  return strings;
}

}  // namespace korvix::dedupe
