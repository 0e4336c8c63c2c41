// The text report: the groups, every record by key, or the matches in a base.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "dedupe/core/printable.h"
#include "dedupe/report/report.h"

namespace korvix::dedupe {

namespace {

// "LINE: " or, with an id column, "LINE [ID]: ".
void AppendPlace(std::uint64_t number, bool with_id, std::string_view id, std::string* line) {
  AppendNumber(number, line);
  if (with_id) {
    *line += " [";
    *line += id;
    line->push_back(']');
  }
  *line += ": ";
}

// "  (algorithm A, key KEY, score S)", or "  (decision: same, score S)":
// what linked a record.
void AppendLink(int algorithm, std::string_view key, bool verified, float score, bool decided,
                std::string* line) {
  if (decided) {
    *line += "  (decision: same";
  } else {
    *line += "  (algorithm ";
    AppendNumber(static_cast<std::uint64_t>(algorithm), line);
    *line += ", key ";
    AppendReadable(key, line);
  }
  if (verified) {
    *line += ", score ";
    AppendScore(score, line);
  }
  line->push_back(')');
}

void WriteGroups(const ReportInput& in, ReportFile* out) {
  const Links& links = in.links;
  GroupCursor group(links);
  std::string line, scratch;
  IdColumn id(in.id, in.input.csv);
  in.input.reader.SetKeyChoice(links.algorithm);
  in.input.reader.ForEachInOrder(links.members, in.budget, [&](const RecordReader::Visited& v) {
    line.clear();
    if (group.StartsAt(v.position)) {
      if (in.by_key()) {
        line += "key ";
        AppendReadable(v.key, &line);
      } else {
        line += "group ";
        AppendNumber(group.number(), &line);
      }
      line += " (";
      AppendNumber(group.size(), &line);
      line += " records)\n";
    }
    line += "  ";
    AppendPlace(v.line, !id.empty(), id.Of(v.bytes, true), &line);
    AppendReadable(in.input.source.RecordString(v.bytes, &scratch), &line);
    if (!in.by_key()) {
      AppendLink(links.algorithm[v.record], v.key, in.verified, in.verified ? links.score[v.record] : 0.0f,
                 !links.decided.empty() && links.decided[v.record], &line);
    }
    line.push_back('\n');
    if (group.EndsAt(v.position)) {
      line.push_back('\n');
      group.Next();
    }
    out->Write(line);
  });
}

void WriteSorted(const ReportInput& in, ReportFile* out) {
  std::string line, scratch;
  IdColumn id(in.id, in.input.csv);
  in.input.reader.SetKeyChoice({});
  in.input.reader.ForEachInOrder(in.sorted, in.budget, [&](const RecordReader::Visited& v) {
    line.clear();
    AppendReadable(v.key, &line);
    line += "  ";
    AppendPlace(v.line, !id.empty(), id.Of(v.bytes, true), &line);
    AppendReadable(in.input.source.RecordString(v.bytes, &scratch), &line);
    line.push_back('\n');
    out->Write(line);
  });
}

void WriteMatches(const ReportInput& in, ReportFile* out) {
  const std::unordered_map<std::uint32_t, BaseRecord> base = BaseRecords(in, true);
  const std::vector<std::uint32_t> matched = MatchedRecords(in);
  const BigVector<DedupePair>& pairs = in.links.pairs;
  std::size_t p = 0;
  std::string line, scratch;
  IdColumn id(in.id, in.input.csv);
  in.input.reader.SetKeyChoice({});
  in.input.reader.ForEach(matched, [&](const RecordReader::Visited& v) {
    line.clear();
    AppendPlace(v.line, !id.empty(), id.Of(v.bytes, true), &line);
    AppendReadable(in.input.source.RecordString(v.bytes, &scratch), &line);
    line.push_back('\n');
    for (; p < pairs.size() && pairs[p].a == v.record; ++p) {
      const BaseRecord& b = base.at(pairs[p].b);
      line += "  base ";
      AppendPlace(b.line, !in.id.empty(), b.id, &line);
      line += b.text;
      AppendLink(pairs[p].algorithm, in.input.table.key(std::max(pairs[p].algorithm, 1) - 1, v.record),
                 in.verified, static_cast<float>(pairs[p].score), pairs[p].decided, &line);
      line.push_back('\n');
    }
    line.push_back('\n');
    out->Write(line);
  });
}

// The links refused, so that nobody wonders why two records that scored
// high enough are not in one group.
void WriteKeptApart(const ReportInput& in, ReportFile* out) {
  const std::vector<KeptApart>& apart = in.links.apart;
  if (apart.empty()) return;
  out->Line("kept apart (" + std::to_string(apart.size()) + (apart.size() == 1 ? " link" : " links") +
            " refused):");
  for (const KeptApart& k : apart) out->Line("  record " + std::to_string(k.a + 1u) + ": " + KeptApartNote(k, k.b));
  out->Line("");
}

}  // namespace

void WriteTextReport(const ReportInput& in, bool sorted, ReportFile* out) {
  if (in.base != nullptr) {
    WriteMatches(in, out);
  } else if (sorted) {
    WriteSorted(in, out);
  } else {
    WriteGroups(in, out);
    WriteKeptApart(in, out);
  }
  out->Line(SummaryLine(in.Summary()));
}

}  // namespace korvix::dedupe
