// Which characters of a record differ from another record, for showing a
// group's records against its first one.
#ifndef KORVIX_DEDUPE_REPORT_DIFF_H_
#define KORVIX_DEDUPE_REPORT_DIFF_H_

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace korvix::dedupe {

// One step of turning one text into another: kKeep and kReplace take a
// character of each, kInsert one of the second text, kDelete one of the
// first.
enum class Edit : std::uint8_t { kKeep, kReplace, kInsert, kDelete };

// Finds the fewest edits that turn one text into another (Levenshtein
// distance on characters). Reuses its table, so one object serves a whole
// report without allocating per record.
class CharDiff {
 public:
  // Beyond this many table cells (after the common start and end are set
  // aside) the middles are taken as replaced wholesale: a record of
  // thousands of characters must not cost seconds or gigabytes.
  static constexpr std::size_t kMaxCells = std::size_t{1} << 22;

  // The edits, in order, that turn `from` into `to`. Among scripts of the
  // fewest edits, keeps and replacements come before insertions and
  // deletions at the same place. The span lives until the next call.
  std::span<const Edit> Diff(std::u32string_view from, std::u32string_view to);

 private:
  std::vector<std::uint32_t> table_;
  std::vector<Edit> script_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_REPORT_DIFF_H_
