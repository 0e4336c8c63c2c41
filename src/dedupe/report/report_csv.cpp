// The CSV report: every record with its key, group and what linked it.
#include <algorithm>
#include <numeric>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <string>
#include <unordered_map>
#include <vector>

#include "base/csv.h"
#include "dedupe/core/error.h"
#include "dedupe/core/printable.h"
#include "dedupe/report/report.h"

namespace korvix::dedupe {

namespace {

// Rows are handed to the report file in blocks of about this many bytes.
constexpr std::size_t kRowBlock = 1 << 16;

// What a value holds that decides how it is written: delimiters, quotes
// and line breaks, bytes beyond ASCII. One pass, sixteen bytes a step, as
// most records are copied whole.
struct Contents {
  std::size_t delimiters = 0;
  bool quotes_or_breaks = false;
  bool as_is = true;  // AppendPrintable copies it as it stands
};

#if defined(__SSE2__)
// Bytes of v in [lo, hi], as 0xFF.
__m128i InRange(__m128i v, unsigned char lo, unsigned char hi) {
  const __m128i from_lo = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(lo)));
  return _mm_cmpeq_epi8(_mm_min_epu8(from_lo, _mm_set1_epi8(static_cast<char>(hi - lo))), from_lo);
}
#endif

Contents Scan(std::string_view value, char delimiter) {
  Contents c;
#if defined(__SSE2__)
  if (value.size() >= 16) {
    const __m128i delimiters = _mm_set1_epi8(delimiter), quotes = _mm_set1_epi8('"');
    const __m128i line_feeds = _mm_set1_epi8('\n'), returns = _mm_set1_epi8('\r'), zero = _mm_setzero_si128();
    __m128i count = zero, breaks = zero;  // count: delimiters by byte lane, up to 255
    // As is: UTF-8 of characters below U+0300, each byte beyond ASCII a lead
    // byte C2-CB with a continuation byte after it, or that continuation.
    unsigned wrong = 0, lead_before = 0;
    const auto add = [&](__m128i v, __m128i counted, unsigned checked) {
      count = _mm_sub_epi8(count, _mm_and_si128(_mm_cmpeq_epi8(v, delimiters), counted));
      breaks = _mm_or_si128(breaks, _mm_or_si128(_mm_cmpeq_epi8(v, quotes),
                                                 _mm_or_si128(_mm_cmpeq_epi8(v, line_feeds), _mm_cmpeq_epi8(v, returns))));
      const auto lead = static_cast<unsigned>(_mm_movemask_epi8(InRange(v, 0xC2, 0xCB)));
      const auto next = static_cast<unsigned>(_mm_movemask_epi8(InRange(v, 0x80, 0xBF)));
      wrong |= (static_cast<unsigned>(_mm_movemask_epi8(v)) & ~(lead | next)) |
               ((next ^ (lead << 1 | lead_before)) & checked);
      lead_before = lead >> 15;
    };
    const auto total = [&] {
      const __m128i sums = _mm_sad_epu8(count, zero);
      c.delimiters += static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_add_epi64(sums, _mm_unpackhi_epi64(sums, sums))));
      count = zero;
    };
    const __m128i all = _mm_cmpeq_epi8(zero, zero);
    std::size_t i = 0;
    for (unsigned steps = 1; i + 16 <= value.size(); i += 16, ++steps) {
      add(_mm_loadu_si128(reinterpret_cast<const __m128i*>(value.data() + i)), all, 0xFFFF);
      if (steps % 255 == 0) total();
    }
    if (i < value.size()) {
      // The last sixteen bytes, counting those not counted yet; the first
      // of them was checked against the byte before it already.
      const auto counted = static_cast<char>(16 - (value.size() - i));
      const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
      add(_mm_loadu_si128(reinterpret_cast<const __m128i*>(value.data() + value.size() - 16)),
          _mm_cmpgt_epi8(index, _mm_set1_epi8(static_cast<char>(counted - 1))), 0xFFFE);
    }
    total();
    c.quotes_or_breaks = _mm_movemask_epi8(breaks) != 0;
    c.as_is = wrong == 0 && lead_before == 0;
    return c;
  }
#endif
  bool ascii = true;
  for (const char b : value) {
    c.delimiters += b == delimiter;
    c.quotes_or_breaks |= b == '"' || b == '\n' || b == '\r';
    ascii &= static_cast<unsigned char>(b) < 0x80;
  }
  c.as_is = ascii || IsPrintableAsIs(value);
  return c;
}

// True iff `value` holds the delimiter, a quote or a line break.
bool NeedsQuotes(std::string_view value, char delimiter) {
  const Contents c = Scan(value, delimiter);
  return c.quotes_or_breaks || c.delimiters > 0;
}

// Appends one field as base::AppendCsvField does, most of them found plain
// sixteen bytes a step.
void AppendField(std::string_view value, char delimiter, std::string* row) {
  if (!NeedsQuotes(value, delimiter)) {
    row->append(value);
    return;
  }
  base::AppendCsvField(value, delimiter, row);
}

class CsvRows {
 public:
  CsvRows(const ReportInput& in, ReportFile* out)
      : in_(in),
        out_(out),
        delimiter_(in.input.csv != nullptr ? in.input.csv->delimiter() : ','),
        line_end_(EndsLinesWithCrlf(in.input.fd) ? "\r\n" : "\n"),
        id_(in.id, in.input.csv) {}

  bool with_id() const { return !in_.id.empty(); }

  void Header() {
    for (const char* name : {"line", "key", "group", "record"}) Cell(name);
    if (with_id()) Cell("id");
    Cell("algorithm");
    if (in_.decisions) Cell("decision");
    if (in_.verified) Cell("score");
    if (in_.base != nullptr) {
      Cell("base_line");
      Cell("base_record");
      if (with_id()) Cell("base_id");
    } else if (in_.verified) {
      Cell("linked_to");
    }
    if (in_.verified) {
      for (const char* part : {"kind", "name", "first_name", "street", "house_number", "plz", "town"}) Cell(part);
      if (in_.base == nullptr) Cell("kept_apart");
    }
    if (in_.input.csv == nullptr) {
      Cell("data");
    } else {
      for (const std::string& name : in_.input.csv->header()) Printable(name, Scan(name, delimiter_));
    }
    End();
  }

  // The columns up to the score; the caller adds the base's and the data.
  // `decision`: "same", "different" or "", with decisions.
  void Front(const RecordReader::Visited& v, std::string_view key, std::uint32_t group,
             int algorithm, std::string_view decision, double score) {
    AppendNumber(v.line, &row_);
    row_.push_back(delimiter_);
    AppendField(key, delimiter_, &row_);
    row_.push_back(delimiter_);
    Number(group);
    Number(v.record + 1u);
    if (with_id()) Cell(id_.Of(v.bytes, false));
    Number(static_cast<std::uint64_t>(algorithm));
    if (in_.decisions) Cell(decision);
    if (in_.verified) {
      AppendScore(score, &row_);
      row_.push_back(delimiter_);
    }
  }

  // The parts of the score of `pair` (empty for none), verifying.
  void Parts(const DedupePair* pair) {
    if (!in_.verified) return;
    if (pair == nullptr) {
      for (int i = 0; i < 7; ++i) Cell("");
      return;
    }
    for (const float part : {pair->kind, pair->name, pair->first_name, pair->street, pair->house_number,
                             pair->plz, pair->town}) {
      AppendScore(part, &row_);
      row_.push_back(delimiter_);
    }
  }

  void Score(double score) {
    AppendScore(score, &row_);
    row_.push_back(delimiter_);
  }

  void Number(std::uint64_t n) {
    AppendNumber(n, &row_);
    row_.push_back(delimiter_);
  }
  void Cell(std::string_view text) {
    AppendField(text, delimiter_, &row_);
    row_.push_back(delimiter_);
  }

  // The record's own columns, then the end of the row. A CSV line without
  // quotes is its fields joined by the delimiter already: copied whole when
  // it has as many as the header.
  void Data(const RecordReader::Visited& v) {
    const Contents c = Scan(v.bytes, delimiter_);
    if (in_.input.csv == nullptr) {
      Printable(v.bytes, c);
    } else if (!c.quotes_or_breaks && !v.bytes.empty() && in_.input.csv->has_header() &&
               c.delimiters + 1 == in_.input.csv->header().size() && c.as_is) {
      row_.append(v.bytes);
      row_.push_back(delimiter_);
    } else {
      if (!in_.input.csv->Fields(v.bytes, &fields_)) {
        throw IoError("cannot read line " + std::to_string(v.line) +
                      " again: the input changed during the run");
      }
      for (const std::string_view f : fields_) Printable(f, Scan(f, delimiter_));
    }
    End();
  }

  // The end of the row.
  void End() {
    row_.pop_back();  // the delimiter after the last field
    row_ += line_end_;
    if (row_.size() >= kRowBlock) Flush();
  }

  // Hands the rows ended so far to the report file.
  void Flush() {
    out_->Write(row_);
    row_.clear();
  }

 private:
  // `bytes` as AppendPrintable gives them, whose Contents are `c`, moved
  // into quotes in the rare case that they need them.
  void Printable(std::string_view bytes, const Contents& c) {
    if (c.quotes_or_breaks || c.delimiters > 0 || !c.as_is) {
      const std::size_t start = row_.size();
      AppendPrintable(bytes, &row_);
      if (NeedsQuotes(std::string_view(row_).substr(start), delimiter_)) {
        text_.assign(row_, start);
        row_.resize(start);
        Cell(text_);
        return;
      }
    } else {
      row_.append(bytes);
    }
    row_.push_back(delimiter_);
  }

  const ReportInput& in_;
  ReportFile* out_;
  char delimiter_;
  std::string_view line_end_;
  IdColumn id_;
  std::string row_, text_;
  std::vector<std::string_view> fields_;
};

void WriteRows(const ReportInput& in, bool sorted, CsvRows* rows) {
  const Links& links = in.links;
  std::unordered_map<std::uint32_t, std::string> apart;  // by record, its links refused
  std::unordered_map<std::uint32_t, bool> kept_by_decision;
  for (const KeptApart& k : links.apart) {
    if (k.rule == Rule::kDecided) kept_by_decision[k.a] = kept_by_decision[k.b] = true;
    for (const auto& [r, other] : {std::pair{k.a, k.b}, std::pair{k.b, k.a}}) {
      std::string& note = apart[r];
      if (!note.empty()) note += "; ";
      note += KeptApartNote(k, other);
    }
  }
  std::vector<std::uint32_t> input_order;
  if (!sorted) {
    input_order.resize(in.input.table.size());
    std::iota(input_order.begin(), input_order.end(), 0u);
  }
  in.input.reader.SetKeyChoice(sorted ? std::span<const std::uint8_t>() : links.algorithm);
  in.input.reader.ForEachInOrder(
      sorted ? in.sorted : std::span<const std::uint32_t>(input_order), in.budget,
      [&](const RecordReader::Visited& v) {
        const bool same = !links.decided.empty() && links.decided[v.record];
        rows->Front(v, v.key, links.group[v.record], links.algorithm[v.record],
                    same ? "same" : kept_by_decision.count(v.record) != 0 ? "different" : "",
                    in.verified ? links.score[v.record] : 0.0);
        if (in.verified) {
          const std::uint32_t best = links.best[v.record];
          const DedupePair* pair = best == Links::kNoPair ? nullptr : &links.pairs[best];
          if (pair == nullptr) {
            rows->Cell("");
          } else {
            rows->Number((pair->a == v.record ? pair->b : pair->a) + 1u);
          }
          rows->Parts(pair);
          const auto note = apart.empty() ? apart.end() : apart.find(v.record);
          rows->Cell(note == apart.end() ? std::string_view() : std::string_view(note->second));
        }
        rows->Data(v);
      });
}

void WriteMatchRows(const ReportInput& in, CsvRows* rows) {
  const BigVector<DedupePair>& pairs = in.links.pairs;
  std::vector<std::uint32_t> input_order(in.input.table.size());
  std::iota(input_order.begin(), input_order.end(), 0u);
  const std::unordered_map<std::uint32_t, BaseRecord> base =
      rows->with_id() ? BaseRecords(in, false) : std::unordered_map<std::uint32_t, BaseRecord>();
  std::size_t p = 0;
  in.input.reader.SetKeyChoice({});
  in.input.reader.ForEach(input_order, [&](const RecordReader::Visited& v) {
    if (p == pairs.size() || pairs[p].a != v.record) {
      rows->Front(v, v.key, 0, 0, "", 0);
      rows->Cell("");
      rows->Cell("");
      if (rows->with_id()) rows->Cell("");
      rows->Parts(nullptr);
      rows->Data(v);
      return;
    }
    for (; p < pairs.size() && pairs[p].a == v.record; ++p) {
      const DedupePair& pair = pairs[p];
      rows->Front(v, in.input.table.key(std::max(pair.algorithm, 1) - 1, v.record), in.links.group[v.record],
                  pair.algorithm, pair.decided ? "same" : "", pair.score);
      rows->Number(in.base->line(pair.b));
      rows->Number(pair.b + 1u);
      if (rows->with_id()) rows->Cell(base.at(pair.b).id);
      rows->Parts(&pair);
      rows->Data(v);
    }
  });
}

}  // namespace

void WritePairSample(const ReportInput& in, ReportFile* out) {
  CsvRows rows(in, out);
  const bool with_id = rows.with_id();
  for (const char* name : {"record_a", "record_b"}) rows.Cell(name);
  if (with_id) {
    rows.Cell("id_a");
    rows.Cell("id_b");
  }
  for (const char* name : {"score", "kind", "name", "first_name", "street", "house_number", "plz", "town",
                           "same", "data_a", "data_b"}) {
    rows.Cell(name);
  }
  rows.End();
  std::vector<std::uint32_t> wanted;
  for (const DedupePair& p : in.links.samples) {
    wanted.push_back(p.a);
    wanted.push_back(p.b);
  }
  const std::unordered_map<std::uint32_t, BaseRecord> records = RecordsOf(in.input, in.id, wanted, false);
  for (const DedupePair& p : in.links.samples) {
    const BaseRecord& a = records.at(p.a);
    const BaseRecord& b = records.at(p.b);
    rows.Number(p.a + 1u);
    rows.Number(p.b + 1u);
    if (with_id) {
      rows.Cell(a.id);
      rows.Cell(b.id);
    }
    rows.Score(p.score);
    rows.Parts(&p);
    rows.Cell("");
    rows.Cell(a.text);
    rows.Cell(b.text);
    rows.End();
  }
  rows.Flush();
}

void WriteCsvReport(const ReportInput& in, bool sorted, ReportFile* out) {
  CsvRows rows(in, out);
  rows.Header();
  if (in.base != nullptr) {
    WriteMatchRows(in, &rows);
  } else {
    WriteRows(in, sorted, &rows);
  }
  rows.Flush();
}

}  // namespace korvix::dedupe
