// The algorithm codes and records on which the SQL functions must give the
// library's results, in every database.
#ifndef KORVIX_TESTS_EXTENSIONS_CASES_H_
#define KORVIX_TESTS_EXTENSIONS_CASES_H_

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

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
  const char* source = std::getenv("KORVIX_SOURCE_DIR");
  std::ifstream in(std::string(source != nullptr ? source : ".") + "/data/sample.txt");
  std::vector<std::string> records = {"", "|Köln"};
  for (std::string line; records.size() < count + 2 && std::getline(in, line);)
    records.push_back(line);
  return records;
}

}  // namespace korvix::testing

#endif  // KORVIX_TESTS_EXTENSIONS_CASES_H_
