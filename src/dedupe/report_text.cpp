// The text report: the groups, every record by key, or the matches in a base.
#include <string>
#include <unordered_map>
#include <vector>

#include "dedupe/printable.h"
#include "dedupe/report.h"

namespace korvix::dedupe {

namespace {

// "  (algorithm A, key KEY, score S)": what linked a record.
void AppendLink(int algorithm, std::string_view key, bool verified, float score, std::string* line) {
  *line += "  (algorithm ";
  AppendNumber(static_cast<std::uint64_t>(algorithm), line);
  *line += ", key ";
  line->append(key);
  if (verified) {
    *line += ", score ";
    AppendScore(score, line);
  }
  line->push_back(')');
}

void WriteGroups(const ReportInput& in, ReportFile* out) {
  const Links& links = in.links;
  std::size_t group = 0;
  std::string line, scratch;
  in.input.reader.SetKeyChoice(links.algorithm);
  in.input.reader.ForEachInOrder(links.members, in.budget, [&](const RecordReader::Visited& v) {
    line.clear();
    const std::size_t begin = group == 0 ? 0 : links.group_ends[group - 1];
    if (v.position == begin) {
      if (in.by_key()) {
        line += "key ";
        line += v.key;
      } else {
        line += "group ";
        AppendNumber(group + 1, &line);
      }
      line += " (";
      AppendNumber(links.group_ends[group] - begin, &line);
      line += " records)\n";
    }
    line += "  ";
    AppendNumber(v.line, &line);
    line += ": ";
    AppendPrintable(in.input.source.RecordString(v.bytes, &scratch), &line);
    if (!in.by_key()) {
      AppendLink(links.algorithm[v.record], v.key, in.verified,
                 in.verified ? links.score[v.record] : 0.0f, &line);
    }
    line.push_back('\n');
    if (v.position + 1 == links.group_ends[group]) {
      line.push_back('\n');
      ++group;
    }
    out->Write(line);
  });
}

void WriteSorted(const ReportInput& in, ReportFile* out) {
  std::string line, scratch;
  in.input.reader.SetKeyChoice({});
  in.input.reader.ForEachInOrder(in.sorted, in.budget, [&](const RecordReader::Visited& v) {
    line.assign(v.key);
    line += "  ";
    AppendNumber(v.line, &line);
    line += ": ";
    AppendPrintable(in.input.source.RecordString(v.bytes, &scratch), &line);
    line.push_back('\n');
    out->Write(line);
  });
}

void WriteMatches(const ReportInput& in, ReportFile* out) {
  const std::unordered_map<std::uint32_t, std::string> base = BaseRecordStrings(in);
  const std::vector<std::uint32_t> matched = MatchedRecords(in);
  const std::vector<DedupePair>& pairs = in.links.pairs;
  std::size_t p = 0;
  std::string line, scratch;
  in.input.reader.SetKeyChoice({});
  in.input.reader.ForEach(matched, [&](const RecordReader::Visited& v) {
    line.clear();
    AppendNumber(v.line, &line);
    line += ": ";
    AppendPrintable(in.input.source.RecordString(v.bytes, &scratch), &line);
    line.push_back('\n');
    for (; p < pairs.size() && pairs[p].a == v.record; ++p) {
      line += "  base ";
      AppendNumber(in.base->table.place(pairs[p].b).line, &line);
      line += ": ";
      line += base.at(pairs[p].b);
      AppendLink(pairs[p].algorithm, in.input.table.key(pairs[p].algorithm - 1, v.record),
                 in.verified, static_cast<float>(pairs[p].score), &line);
      line.push_back('\n');
    }
    line.push_back('\n');
    out->Write(line);
  });
}

}  // namespace

void WriteTextReport(const ReportInput& in, bool sorted, ReportFile* out) {
  if (in.base != nullptr) {
    WriteMatches(in, out);
  } else if (sorted) {
    WriteSorted(in, out);
  } else {
    WriteGroups(in, out);
  }
  out->Line(SummaryLine(in.Summary()));
}

}  // namespace korvix::dedupe
