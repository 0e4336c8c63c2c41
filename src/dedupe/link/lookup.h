// One new record against the rows that a database's index found for it:
// what the SQL look-up reports, decided exactly as the dedupe job decides.
#ifndef KORVIX_DEDUPE_LINK_LOOKUP_H_
#define KORVIX_DEDUPE_LINK_LOOKUP_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvix::dedupe {

struct LookupMatch {
  std::uint32_t row = 0;  // in the rows given, from 0
  int algorithm = 0;      // 1-based: the first of the recommendation's keys it shares
  double score = 0;
};

// The rows that `record` matches under the recommendation, best first
// (equal scores in the rows' order): what `korvix dedupe --base ROWS NEW`
// reports for a NEW of that one record, when `rows` are every base record
// that shares a recommended key with it. Those are the job's candidates, so
// surnames weigh by how common they are among them, and a key shared by
// more than 200 rows is split as the job splits it; rows sharing no key
// with `record` are passed over.
std::vector<LookupMatch> LookUp(std::string_view record, std::span<const std::string_view> rows);

// The matches as the SQL functions give them: [{"id": ID, "score": S,
// "algorithm": A}, ...] in their order, ID being ids[row], JSON already.
std::string LookupJson(std::span<const LookupMatch> matches, std::span<const std::string> ids);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_LINK_LOOKUP_H_
