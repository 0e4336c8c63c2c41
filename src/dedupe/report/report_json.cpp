// The JSON report: the groups, every record by key, or the matches in a base.
#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/json.h"
#include "dedupe/core/printable.h"
#include "dedupe/report/report.h"

namespace korvix::dedupe {

namespace {

void AppendString(std::string_view bytes, std::string* out) {
  std::string text;
  AppendPrintable(bytes, &text);
  base::AppendJsonString(text, out);
}

// "\"line\": L, \"record\": R", with "\"id\": ID" after the line when
// there is an id column: where a record stands.
void AppendPlace(std::uint64_t line, const std::string* id, std::uint32_t record, std::string* s) {
  *s += "\"line\": ";
  AppendNumber(line, s);
  if (id != nullptr) {
    *s += ", \"id\": ";
    base::AppendJsonString(*id, s);
  }
  *s += ", \"record\": ";
  AppendNumber(record + 1u, s);
}

// The record's id for AppendPlace: null without an id column.
const std::string* IdOf(const ReportInput& in, IdColumn& id, std::string_view bytes, std::string* text) {
  if (in.id.empty()) return nullptr;
  text->assign(id.Of(bytes, false));
  return text;
}

void AppendLink(int algorithm, std::string_view key, bool verified, double score, bool decided, std::string* s) {
  *s += ", \"key\": ";
  base::AppendJsonString(key, s);
  *s += ", \"algorithm\": ";
  AppendNumber(static_cast<std::uint64_t>(algorithm), s);
  if (verified) {
    *s += ", \"score\": ";
    AppendScore(score, s);
  }
  if (decided) *s += ", \"decision\": \"same\"";
}

void WriteGroups(const ReportInput& in, ReportFile* out) {
  const Links& links = in.links;
  out->Write("\"groups\": [");
  GroupCursor group(links);
  std::string s, scratch, id_text;
  IdColumn id(in.id, in.input.csv);
  in.input.reader.SetKeyChoice(links.algorithm);
  in.input.reader.ForEachInOrder(links.members, in.budget, [&](const RecordReader::Visited& v) {
    s.clear();
    if (group.StartsAt(v.position)) {
      s += group.index() == 0 ? "\n{\"group\": " : ",\n{\"group\": ";
      AppendNumber(group.number(), &s);
      s += ", \"size\": ";
      AppendNumber(group.size(), &s);
      s += ", \"records\": [\n  ";
    } else {
      s += ",\n  ";
    }
    s += "{";
    AppendPlace(v.line, IdOf(in, id, v.bytes, &id_text), v.record, &s);
    AppendLink(links.algorithm[v.record], v.key, in.verified, in.verified ? links.score[v.record] : 0.0,
               !links.decided.empty() && links.decided[v.record], &s);
    if (in.verified && links.best[v.record] != Links::kNoPair) {
      const DedupePair& pair = links.pairs[links.best[v.record]];
      s += ", \"linked_to\": ";
      AppendNumber((pair.a == v.record ? pair.b : pair.a) + 1u, &s);
      AppendPartsJson(pair, &s);
    }
    s += ", \"data\": ";
    AppendString(in.input.source.RecordString(v.bytes, &scratch), &s);
    s += "}";
    if (group.EndsAt(v.position)) {
      s += "]}";
      group.Next();
    }
    out->Write(s);
  });
  out->Write(links.group_ends.empty() ? "],\n" : "\n],\n");
  if (!in.verified) return;
  s = "\"kept_apart\": [";
  for (std::size_t k = 0; k < links.apart.size(); ++k) {
    const KeptApart& apart = links.apart[k];
    s += k == 0 ? "\n{\"record\": " : ",\n{\"record\": ";
    AppendNumber(apart.a + 1u, &s);
    s += ", \"other\": ";
    AppendNumber(apart.b + 1u, &s);
    s += ", \"why\": ";
    base::AppendJsonString(KeptApartNote(apart, apart.b), &s);
    s += "}";
  }
  s += links.apart.empty() ? "],\n" : "\n],\n";
  out->Write(s);
}

void WriteSorted(const ReportInput& in, ReportFile* out) {
  out->Write("\"records\": [");
  std::string s, scratch, id_text;
  IdColumn id(in.id, in.input.csv);
  in.input.reader.SetKeyChoice({});
  in.input.reader.ForEachInOrder(in.sorted, in.budget, [&](const RecordReader::Visited& v) {
    s.assign(v.position == 0 ? "\n{" : ",\n{");
    AppendPlace(v.line, IdOf(in, id, v.bytes, &id_text), v.record, &s);
    s += ", \"key\": ";
    base::AppendJsonString(v.key, &s);
    s += ", \"group\": ";
    AppendNumber(in.links.group[v.record], &s);
    s += ", \"data\": ";
    AppendString(in.input.source.RecordString(v.bytes, &scratch), &s);
    s += "}";
    out->Write(s);
  });
  out->Write(in.sorted.empty() ? "],\n" : "\n],\n");
}

void WriteMatches(const ReportInput& in, ReportFile* out) {
  const std::unordered_map<std::uint32_t, BaseRecord> base = BaseRecords(in, false);
  const BigVector<DedupePair>& pairs = in.links.pairs;
  out->Write("\"matches\": [");
  std::size_t p = 0;
  std::string s, scratch, id_text;
  IdColumn id(in.id, in.input.csv);
  in.input.reader.SetKeyChoice({});
  in.input.reader.ForEach(MatchedRecords(in), [&](const RecordReader::Visited& v) {
    s.assign(p == 0 ? "\n{" : ",\n{");
    AppendPlace(v.line, IdOf(in, id, v.bytes, &id_text), v.record, &s);
    s += ", \"data\": ";
    AppendString(in.input.source.RecordString(v.bytes, &scratch), &s);
    s += ", \"base\": [";
    for (bool first = true; p < pairs.size() && pairs[p].a == v.record; ++p, first = false) {
      s += first ? "\n  {" : ",\n  {";
      const BaseRecord& b = base.at(pairs[p].b);
      AppendPlace(b.line, in.id.empty() ? nullptr : &b.id, pairs[p].b, &s);
      AppendLink(pairs[p].algorithm, in.input.table.key(std::max(pairs[p].algorithm, 1) - 1, v.record),
                 in.verified, pairs[p].score, pairs[p].decided, &s);
      if (in.verified) AppendPartsJson(pairs[p], &s);
      s += ", \"data\": ";
      base::AppendJsonString(b.text, &s);
      s += "}";
    }
    s += "]}";
    out->Write(s);
  });
  out->Write(pairs.empty() ? "],\n" : "\n],\n");
}

}  // namespace

void WriteJsonReport(const ReportInput& in, bool sorted, ReportFile* out) {
  std::string head = "{\"algorithms\": [";
  for (std::size_t a = 0; a < in.algorithms.size(); ++a) {
    head += a == 0 ? "{\"code\": " : ", {\"code\": ";
    AppendString(in.algorithms[a].code, &head);
    head += ", \"name\": ";
    AppendString(in.algorithms[a].name, &head);
    head += "}";
  }
  head += "],\n";
  out->Write(head);
  if (in.base != nullptr) {
    WriteMatches(in, out);
  } else if (sorted) {
    WriteSorted(in, out);
  } else {
    WriteGroups(in, out);
  }
  const RunSummary summary = in.Summary();
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", summary.seconds);
  std::string tail = "\"summary\": {\"records\": " + std::to_string(summary.records);
  if (summary.with_base) {
    tail += ", \"base_records\": " + std::to_string(summary.base_records) +
            ", \"records_matched\": " + std::to_string(summary.in_groups) +
            ", \"pairs\": " + std::to_string(summary.pairs);
  } else {
    tail += ", \"groups\": " + std::to_string(summary.groups) +
            ", \"records_in_groups\": " + std::to_string(summary.in_groups);
  }
  if (summary.verified) tail += ", \"pairs_compared\": " + std::to_string(summary.compared);
  tail += ", \"skipped\": " + std::to_string(summary.skipped) + ", \"seconds\": " + seconds + "}}\n";
  out->Write(tail);
}

}  // namespace korvix::dedupe
