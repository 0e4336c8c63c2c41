// Two records compared as verification compares a candidate pair, for a
// host or a person who wants to know why.
#include <cstdio>
#include <string>

#include "base/json.h"
#include "dedupe/compare/normalize.h"
#include "dedupe/compare/profile.h"
#include "dedupe/compare/similarity.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {
namespace {

std::string_view KindName(CustomerKind kind) {
  switch (kind) {
    case CustomerKind::kPerson: return "person";
    case CustomerKind::kOrganisation: return "organisation";
    case CustomerKind::kUnknown: break;
  }
  return "";
}

}  // namespace
}  // namespace korvix::dedupe

namespace korvix {

RecordComparison CompareRecords(std::string_view a, std::string_view b) {
  RecordComparison c;
  dedupe::Normalizer normalizer;
  std::string text_a, text_b;
  normalizer.Record(a, &c.normalized_a);
  dedupe::ProfileTextOf(c.normalized_a, normalizer.marks(), &text_a);
  normalizer.Record(b, &c.normalized_b);
  dedupe::ProfileTextOf(c.normalized_b, normalizer.marks(), &text_b);
  dedupe::ProfileMaker maker;
  const dedupe::Profile pa = maker.Make(text_a), pb = maker.Make(text_b);
  dedupe::Parts parts;
  c.score = dedupe::Score(pa, pb, 0, &parts);
  c.kind_a = dedupe::KindName(pa.kind);
  c.kind_b = dedupe::KindName(pb.kind);
  dedupe::CopyParts(parts, &c);
  c.rule = dedupe::RuleName(parts.rule);
  return c;
}

double ScoreRecords(std::string_view a, std::string_view b) { return CompareRecords(a, b).score; }

std::string ComparisonJson(const RecordComparison& c) {
  const auto number = [](double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return std::string(text);
  };
  std::string out = "{\"a\": ";
  base::AppendJsonString(c.normalized_a, &out);
  out += ", \"b\": ";
  base::AppendJsonString(c.normalized_b, &out);
  out += ", \"kind_a\": ";
  base::AppendJsonString(c.kind_a, &out);
  out += ", \"kind_b\": ";
  base::AppendJsonString(c.kind_b, &out);
  out += ", \"parts\": {\"kind\": " + number(c.kind) + ", \"name\": " + number(c.name) +
         ", \"first_name\": " + number(c.first_name) + ", \"street\": " + number(c.street) +
         ", \"house_number\": " + number(c.house_number) + ", \"plz\": " + number(c.plz) +
         ", \"town\": " + number(c.town) + "}, \"score\": " + number(c.score) + ", \"rule\": ";
  base::AppendJsonString(c.rule, &out);
  out += "}";
  return out;
}

}  // namespace korvix
