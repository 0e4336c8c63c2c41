#include "dedupe/report/report.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "korvix/text.h"
#include "dedupe/core/error.h"
#include "dedupe/core/printable.h"
#include "korvix/fields.h"

namespace korvix::dedupe {

ReportChoice ReportChoiceOf(const DedupeOptions& options) {
  const std::string& f = options.format;
  ReportChoice c;
  if (f == "text") {
    c.format = ReportFormat::kText;
  } else if (f == "csv") {
    c.format = ReportFormat::kCsv;
  } else if (f == "json") {
    c.format = ReportFormat::kJson;
  } else if (f == "html") {
    c.format = ReportFormat::kHtml;
  } else {
    throw UsageError("--format must be text, csv, json or html, not '" + f + "'");
  }
  const std::string& e = options.output_encoding;
  if (e.empty()) {
    c.encoding = c.format == ReportFormat::kCsv ? ReportEncoding::kUtf8Bom : ReportEncoding::kUtf8;
  } else if (e == "utf-8") {
    c.encoding = ReportEncoding::kUtf8;
  } else if (e == "utf-8-bom") {
    c.encoding = ReportEncoding::kUtf8Bom;
  } else if (e == "windows-1252") {
    c.encoding = ReportEncoding::kWindows1252;
  } else {
    throw UsageError("--output-encoding must be utf-8, utf-8-bom or windows-1252, not '" + e + "'");
  }
  const bool utf8_only = c.format == ReportFormat::kJson || c.format == ReportFormat::kHtml;
  if (utf8_only && c.encoding != ReportEncoding::kUtf8) {
    throw UsageError("a " + f + " report is UTF-8 without a byte order mark; --output-encoding " + e +
                     " is for text and csv");
  }
  if (c.format == ReportFormat::kHtml && options.sorted) {
    throw UsageError("--sorted is for text, csv and json reports, not html");
  }
  return c;
}

void WriteReport(const ReportInput& in, const DedupeOptions& options, ReportFile* out) {
  if (options.sample_pairs > 0) {
    // Pairs to label, in a spreadsheet most likely: CSV, whatever the format.
    DedupeOptions csv = options;
    csv.format = "csv";
    out->SetEncoding(ReportChoiceOf(csv).encoding);
    WritePairSample(in, out);
    return;
  }
  const ReportChoice choice = ReportChoiceOf(options);
  out->SetEncoding(choice.encoding);
  switch (choice.format) {
    case ReportFormat::kText: WriteTextReport(in, options.sorted, out); break;
    case ReportFormat::kCsv: WriteCsvReport(in, options.sorted, out); break;
    case ReportFormat::kJson: WriteJsonReport(in, options.sorted, out); break;
    case ReportFormat::kHtml: WriteHtmlReport(in, options.html_records, out); break;
  }
  if (out->unmapped() > 0 && options.message) {
    options.message("characters that Windows-1252 cannot hold, written as '?': " +
                    std::to_string(out->unmapped()));
  }
}

std::size_t ColumnOf(std::string_view option, const CsvSource* csv, std::string_view what) {
  std::size_t number = 0;
  const bool numeric =
      option.find_first_not_of("0123456789") == std::string_view::npos && option.size() < 10;
  for (const char c : option) number = number * 10 + static_cast<std::size_t>(c - '0');
  if (csv == nullptr) {
    if (!numeric || number == 0) {
      throw UsageError(std::string(what) + ": record strings have no column names; give the number of an item, not '" +
                       MessageText(option) + "'");
    }
    return number - 1;
  }
  if (!csv->has_header()) return kNoColumn;
  const std::vector<std::string>& header = csv->header();
  const std::string wanted = FoldColumnName(option, false);
  for (std::size_t col = 0; col < header.size(); ++col) {
    if (FoldColumnName(header[col], false) == wanted) return col;
  }
  if (numeric && number >= 1 && number <= header.size()) return number - 1;
  std::string columns;
  for (const std::string& name : header) {
    columns += (columns.empty() ? "\"" : ", \"") + MessageText(name) + "\"";
  }
  throw UsageError(std::string(what) + ": the header has no column \"" + MessageText(option) + "\" (columns: " +
                   columns + ")");
}

IdColumn::IdColumn(std::string_view option, const CsvSource* csv) : csv_(csv) {
  if (!option.empty()) index_ = ColumnOf(option, csv, "--id");
}

std::string_view IdColumn::Of(std::string_view bytes, bool readable) {
  value_.clear();
  if (empty()) return value_;
  std::string_view id;
  if (csv_ != nullptr) {
    if (csv_->Fields(bytes, &fields_) && index_ < fields_.size()) id = fields_[index_];
  } else {
    std::size_t begin = 0;
    for (std::size_t item = 0; item < index_ && begin != std::string_view::npos; ++item) {
      begin = bytes.find('|', begin);
      if (begin != std::string_view::npos) ++begin;
    }
    if (begin != std::string_view::npos) id = bytes.substr(begin, bytes.find('|', begin) - begin);
  }
  if (readable) {
    AppendReadable(id, &value_);
  } else {
    AppendPrintable(id, &value_);
  }
  return value_;
}

bool EndsLinesWithCrlf(int fd) {
  char head[65536];
  const ssize_t n = ::pread(fd, head, sizeof head, 0);
  const std::string_view bytes(head, n > 0 ? static_cast<std::size_t>(n) : 0);
  const std::size_t lf = bytes.find('\n');
  return lf == std::string_view::npos || (lf > 0 && bytes[lf - 1] == '\r');
}

void AppendPartsJson(const DedupePair& pair, std::string* out) {
  const std::pair<const char*, float> parts[] = {
      {"kind", pair.kind}, {"name", pair.name}, {"first_name", pair.first_name}, {"street", pair.street},
      {"house_number", pair.house_number}, {"plz", pair.plz}, {"town", pair.town}};
  *out += ", \"parts\": {";
  for (const auto& [name, value] : parts) {
    if (out->back() != '{') *out += ", ";
    *out += '"';
    *out += name;
    *out += "\": ";
    AppendScore(value, out);
  }
  *out += '}';
}

std::string KeptApartNote(const KeptApart& kept, std::uint32_t other) {
  std::string note = "not grouped with record " + std::to_string(other + 1u);
  if (kept.score > 0) {  // a link refused by a decision alone has no score
    note += " (score ";
    AppendScore(kept.score, &note);
    note += ")";
  }
  note += ": records " + std::to_string(kept.x + 1u) + " and " + std::to_string(kept.y + 1u) +
          " are different customers (";
  if (kept.rule == Rule::kParts) {
    note += "score ";
    AppendScore(kept.xy_score, &note);
  } else {
    note += RuleName(kept.rule);
  }
  note += ")";
  return note;
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
    s.base_records = base->size();
    s.pairs = links.pairs.size();
    s.skipped += base->skipped();
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

std::unordered_map<std::uint32_t, BaseRecord> RecordsOf(const ReportSide& side, std::string_view id_option,
                                                        std::vector<std::uint32_t> wanted, bool readable) {
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  std::unordered_map<std::uint32_t, BaseRecord> records;
  IdColumn id(id_option, side.csv);
  std::string scratch;
  side.reader.SetKeyChoice({});
  side.reader.ForEach(wanted, [&](const RecordReader::Visited& v) {
    BaseRecord& r = records[v.record];
    r.line = v.line;
    if (!id.empty()) r.id = id.Of(v.bytes, readable);
    const std::string_view text = side.source.RecordString(v.bytes, &scratch);
    if (readable) {
      AppendReadable(text, &r.text);
    } else {
      AppendPrintable(text, &r.text);
    }
  });
  return records;
}

std::unordered_map<std::uint32_t, BaseRecord> BaseRecords(const ReportInput& in, bool readable) {
  std::vector<std::uint32_t> wanted;
  for (const DedupePair& p : in.links.pairs) wanted.push_back(p.b);
  return in.base->Records(in.id, std::move(wanted), readable);
}

std::unordered_map<std::uint32_t, BaseRecord> SideBase::Records(std::string_view id,
                                                                std::vector<std::uint32_t> wanted,
                                                                bool readable) const {
  return RecordsOf(side_, id, std::move(wanted), readable);
}

}  // namespace korvix::dedupe
