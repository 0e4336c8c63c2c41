#include "korvix/review.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/json.h"
#include "base/text.h"
#include "dedupe/core/printable.h"
#include "dedupe/report/report.h"
#include "dedupe/report/report_diff.h"
#include "korvix/fields.h"

namespace korvix {

namespace {

constexpr std::size_t kNoPair = std::numeric_limits<std::size_t>::max();

// Appends `record` as runs of characters that share a Mark against `first`.
void AppendMarkedRuns(dedupe::CharDiff& diff, std::u32string_view first, std::u32string_view record,
                      std::string* out) {
  *out += '[';
  int open = -1;
  std::string run;
  const auto close = [&] {
    if (open < 0) return;
    if (out->back() != '[') *out += ',';
    *out += '[';
    *out += static_cast<char>('0' + open);
    *out += ',';
    base::AppendJsonString(run, out);
    *out += ']';
    run.clear();
  };
  dedupe::ForEachMarked(diff, first, record, [&](dedupe::Mark mark, char32_t c) {
    if (static_cast<int>(mark) != open) {
      close();
      open = static_cast<int>(mark);
    }
    text::AppendUtf8(c, &run);
  });
  close();
  *out += ']';
}

}  // namespace

Review::Review(std::string path, DedupeOptions options, DecisionStore* store)
    : path_(std::move(path)), options_(std::move(options)), store_(store) {
  options_.texts = true;
  options_.identify = true;
  options_.format = "text";
  options_.output.clear();
  options_.clean.clear();
  options_.mapping.clear();
  options_.fill = false;
  options_.progress = false;
  // The page shows which record would survive.
  if (options_.survivor.empty()) options_.survivor = "most-complete";
  Rerun();
}

void Review::Decide(DecisionKind kind, std::uint32_t a, std::uint32_t b, const std::string& who) {
  const std::size_t n = result_.records.size();
  if (a == 0 || a > n || (kind == DecisionKind::kSurvivor ? b != 0 : (b == 0 || b > n || a == b))) {
    throw Error(ErrorCode::kInvalidArgument, "a decision names records of the run: " + std::to_string(a) +
                                                 (b == 0 ? "" : " and " + std::to_string(b)));
  }
  const auto identity = [&](std::uint32_t r) { return r == 0 ? std::string() : result_.records[r - 1].identity; };
  Decision decision;
  decision.kind = kind;
  decision.a = identity(a);
  decision.b = identity(b);
  decision.who = who;
  // Copies (one content, no id column) are one customer already: confirming
  // a group that holds them has nothing to store for them.
  if (kind == DecisionKind::kSame && decision.a == decision.b) return;
  store_->Record(decision);
}

void Review::ChooseValue(std::uint32_t record, const std::string& field, const std::string& who) {
  if (record == 0 || record > result_.records.size() || field.empty()) {
    throw Error(ErrorCode::kInvalidArgument,
                "a value decision names a record of the run and a column: " + std::to_string(record));
  }
  const DedupeRecord& r = result_.records[record - 1];
  store_->Record(Decision{DecisionKind::kValue, r.identity, "", field, "", who, ""});
  if (r.group != 0) KeepValue(r.group - 1, field, record);
}

void Review::KeepValue(std::uint32_t group, const std::string& field, std::uint32_t record) {
  auto& values = values_[group];
  const auto it = std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == field; });
  if (it == values.end()) {
    values.emplace_back(field, record);
  } else {
    it->second = record;
  }
}

void Review::Rerun() {
  options_.decisions = store_->List();
  result_ = DedupeFile(path_, options_);
  const std::vector<DedupeRecord>& records = result_.records;
  members_.assign(result_.groups, {});
  std::unordered_map<std::string_view, std::vector<std::uint32_t>> grouped;  // identity: records in groups
  for (std::uint32_t r = 0; r < records.size(); ++r) {
    if (records[r].group == 0) continue;
    members_[records[r].group - 1].push_back(r);
    grouped[records[r].identity].push_back(r);
  }
  values_.assign(result_.groups, {});
  for (const Decision& d : options_.decisions) {
    if (d.kind != DecisionKind::kValue || !grouped.contains(d.a)) continue;
    // Copies share an identity; the job takes the earliest one's value.
    const std::vector<std::uint32_t>& named = grouped[d.a];
    for (auto r = named.rbegin(); r != named.rend(); ++r) KeepValue(records[*r].group - 1, d.field, *r + 1);
  }
  // A record's explanation is its strongest pair.
  pair_of_.assign(records.size(), kNoPair);
  for (std::size_t p = 0; p < result_.pairs.size(); ++p) {
    for (const std::uint32_t r : {result_.pairs[p].a, result_.pairs[p].b}) {
      if (pair_of_[r] == kNoPair || result_.pairs[pair_of_[r]].score < result_.pairs[p].score) pair_of_[r] = p;
    }
  }
  std::vector<double> certainty(members_.size(), 1);
  for (std::size_t g = 0; g < members_.size(); ++g) {
    for (const std::uint32_t r : members_[g]) certainty[g] = std::min(certainty[g], records[r].score);
  }
  by_size_.resize(members_.size());
  for (std::uint32_t g = 0; g < by_size_.size(); ++g) by_size_[g] = g;
  std::stable_sort(by_size_.begin(), by_size_.end(),
                   [&](std::uint32_t x, std::uint32_t y) { return members_[x].size() > members_[y].size(); });
  by_certainty_ = by_size_;
  std::stable_sort(by_certainty_.begin(), by_certainty_.end(),
                   [&](std::uint32_t x, std::uint32_t y) { return certainty[x] < certainty[y]; });
}

std::string Review::GroupsJson(std::size_t first, std::size_t count, ReviewOrder order) const {
  const std::vector<std::uint32_t>& groups = order == ReviewOrder::kLargest ? by_size_ : by_certainty_;
  const std::vector<DedupeRecord>& records = result_.records;
  const bool verified = options_.verify > 0;
  std::string out = "{\"total\": " + std::to_string(groups.size()) +
                    ", \"verified\": " + (verified ? "true" : "false") + ", \"columns\": [";
  AppendColumns(&out);
  out += "], \"groups\": [";
  dedupe::CharDiff diff;
  std::u32string head, text;
  for (std::size_t k = first; k < groups.size() && k < first + count; ++k) {
    const std::vector<std::uint32_t>& members = members_[groups[k]];
    double certainty = 1;
    for (const std::uint32_t r : members) certainty = std::min(certainty, records[r].score);
    out += k == first ? "\n" : ",\n";
    out += "{\"group\": " + std::to_string(groups[k] + 1) + ", \"size\": " + std::to_string(members.size()) +
           ", \"certainty\": ";
    dedupe::AppendScore(verified ? certainty : 1, &out);
    out += ", \"survivor\": " + std::to_string(records[members[0]].survivor + 1u) + ", \"values\": {";
    for (const auto& [field, record] : values_[groups[k]]) {
      if (out.back() != '{') out += ", ";
      base::AppendJsonString(field, &out);
      out += ": " + std::to_string(record);
    }
    out += "}, \"records\": [";
    dedupe::DecodeUtf8(records[members[0]].text, &head);
    for (const std::uint32_t r : members) {
      const DedupeRecord& d = records[r];
      if (r != members[0]) out += ", ";
      out += "{\"record\": " + std::to_string(r + 1u) + ", \"line\": " + std::to_string(d.line) + ", \"id\": ";
      base::AppendJsonString(d.id, &out);
      out += ", \"fields\": [";
      for (std::size_t f = 0; f < d.fields.size(); ++f) {
        if (f > 0) out += ", ";
        base::AppendJsonString(d.fields[f], &out);
      }
      out += "], \"text\": ";
      dedupe::DecodeUtf8(d.text, &text);
      AppendMarkedRuns(diff, head, text, &out);
      out += ", \"algorithm\": " + std::to_string(d.algorithm) + ", \"key\": ";
      base::AppendJsonString(d.key, &out);
      if (d.decided) out += ", \"decided\": true";
      if (pair_of_[r] != kNoPair) {
        const DedupePair& p = result_.pairs[pair_of_[r]];
        out += ", \"score\": ";
        dedupe::AppendScore(p.score, &out);
        out += ", \"linked_to\": " + std::to_string((p.a == r ? p.b : p.a) + 1u);
        if (verified) dedupe::AppendPartsJson(p, &out);
      }
      out += '}';
    }
    out += "]}";
  }
  out += "]}\n";
  return out;
}

void Review::AppendColumns(std::string* out) const {
  std::size_t count = result_.columns.size();
  if (count == 0) {
    for (const DedupeRecord& r : result_.records) count = std::max(count, r.fields.size());
  }
  for (std::size_t c = 0; c < count; ++c) {
    // Record strings have items, named by number; a CSV file's columns by name.
    const std::string field = result_.columns.empty() ? std::to_string(c + 1) : result_.columns[c];
    const std::string_view label = result_.columns.empty() && c < 9 ? FieldLabel(static_cast<int>(c + 1)) : field;
    *out += c == 0 ? "{\"label\": " : ", {\"label\": ";
    base::AppendJsonString(label, out);
    *out += ", \"field\": ";
    base::AppendJsonString(field, out);
    *out += '}';
  }
}

void Review::WriteClean(const std::string& clean, const std::string& mapping, bool fill) const {
  DedupeOptions options = options_;
  options.texts = false;
  options.identify = false;
  options.decisions = store_->List();
  options.clean = clean;
  options.mapping = mapping;
  options.fill = fill;
  DedupeFile(path_, options);
}

}  // namespace korvix
