// Which characters of a record differ from another record, for showing a
// group's records against its first one.
#ifndef KORVIX_DEDUPE_REPORT_DIFF_H_
#define KORVIX_DEDUPE_REPORT_DIFF_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
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

// How a character shows when a record is set against its group's first
// record: shared with it, the record's own (where the first has another
// or none), or one of the first's that the record lacks.
enum class Mark : std::uint8_t { kSame, kOwn, kLacking };

// Visits the characters of `other` and, where they belong, those of
// `first` that it lacks, in reading order, each with its Mark. The HTML
// report and the review page mark a record so.
void ForEachMarked(CharDiff& diff, std::u32string_view first, std::u32string_view other,
                   const std::function<void(Mark, char32_t)>& visit);

// The code points of valid UTF-8 `utf8`.
void DecodeUtf8(std::string_view utf8, std::u32string* out);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_REPORT_DIFF_H_
