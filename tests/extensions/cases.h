// The algorithm codes and records on which the SQL functions must give the
// library's results, in every database.
#ifndef KORVIX_TESTS_EXTENSIONS_CASES_H_
#define KORVIX_TESTS_EXTENSIONS_CASES_H_

#include <charconv>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "case_file.h"
#include "korvix/dedupe.h"

namespace korvix::testing {

// Every field, from the left and from the right, with the phonetic switch
// off and on; then codes that no editor writes.
inline std::vector<std::string> VariantCodes() {
  std::vector<std::string> codes;
  for (const char* field : {"01", "02", "03", "04", "05", "06", "07", "08", "09", "51", "52", "53"})
    for (const char* variant : {"00", "01", "10", "11"})
      codes.push_back(std::string(field) + "07" + variant + "0000000000");
  codes.insert(codes.end(), {"", "0103", "01-2000000000000", "9903000000000000", "kein Code",
                             "010500000000000003050000000000000504110000000000"});
  return codes;
}

// An empty record, one with an empty first item and no last ones, then the
// first `count` of the sample data (German names and streets with umlauts,
// ß and planted variants).
inline std::vector<std::string> SampleRecords(std::size_t count) {
  std::istringstream in(ReadFile(SourcePath("data/sample.txt")));
  std::vector<std::string> records = {"", "|Köln"};
  for (std::string line; records.size() < count + 2 && std::getline(in, line);)
    records.push_back(line);
  return records;
}

// Records for the duplicate check: the sample's first `count` after odd
// ones (empty, bars only, a four-digit PLZ, titles and a legal form, more
// than nine items).
inline std::vector<std::string> CheckRecords(std::size_t count) {
  std::vector<std::string> records = {
      "", "||||||||", "1067|Dresden|Prager Str 2||Dr. Meier & Söhne GmbH",
      "10115|Berlin|Hauptstraße 1|MEIER|Prof. Dr. Hans Meier|GmbH & Co. KG|3|4|A|zehn|elf|zwölf"};
  for (std::string& r : SampleRecords(count)) records.push_back(std::move(r));
  return records;
}

// The keys that korvix_keys must give each record: the job's with the
// recommendation, one run per algorithm.
inline std::vector<std::vector<std::string>> JobKeys(const std::vector<std::string>& records) {
  const std::vector<std::string_view> lines(records.begin(), records.end());
  std::vector<std::vector<std::string>> keys(records.size());
  for (const DedupeAlgorithm& algorithm : RecommendedDedupe().algorithms) {
    DedupeOptions options = RecommendedDedupe();
    options.algorithms = {algorithm};
    options.verify = 0;
    for (const DedupeRecord& r : DedupeRecords(lines, options).records) keys[r.line - 1].push_back(r.key);
  }
  return keys;
}

// A score as both sides can give it: the job keeps its scores as floats.
inline std::string ScoreText(double score) {
  char buffer[32];
  const float f = static_cast<float>(score);
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, f).ptr);
}

// What korvix dedupe --base finds for `news` in `base`: for each pair, the
// new record's number and the base record's from 1, and the score.
inline std::set<std::vector<std::string>> BaseMatches(const std::vector<std::string>& news,
                                                      const std::vector<std::string>& base) {
  const std::vector<std::string_view> n(news.begin(), news.end()), b(base.begin(), base.end());
  std::set<std::vector<std::string>> matches;
  for (const DedupePair& p : DedupeRecords(n, RecommendedDedupe(), b).pairs)
    matches.insert({std::to_string(p.a + 1), std::to_string(p.b + 1), ScoreText(p.score)});
  return matches;
}

// 250 customers in one building: more than the job compares all-pairs
// under one key, so it splits them by their second key, which a surname
// written with another first letter does not share.
inline constexpr const char* kBuildingNew = "10999|Berlin|Oranienstraße 25||Müller|Hans";
inline std::vector<std::string> Building() {
  std::vector<std::string> records = {"10999|Berlin|Oranienstr. 25||Küller|Hans",
                                      "10999|Berlin|Oranienstr. 25||Müller|Hans"};
  for (int i = 0; records.size() < 250; ++i) {
    records.push_back("10999|Berlin|Oranienstr. 25||Bewohner" + std::to_string(i) + "|Eva");
  }
  return records;
}

// Pairs to score: each record with the next, and duplicates written
// differently, which score high.
inline std::vector<std::pair<std::string, std::string>> ScorePairs(
    const std::vector<std::string>& records) {
  std::vector<std::pair<std::string, std::string>> pairs = {
      {"10115|Berlin|Hauptstraße 1||Meier", "10115|BERLIN|Hauptstr. 1||Mayer"},
      {"80331|München|Marienplatz 8||Müller GmbH", "80331|Muenchen|Marienplatz 8||MUELLER"},
      {"", ""},
  };
  for (std::size_t i = 0; i + 1 < records.size(); ++i) pairs.emplace_back(records[i], records[i + 1]);
  return pairs;
}

}  // namespace korvix::testing

#endif  // KORVIX_TESTS_EXTENSIONS_CASES_H_
