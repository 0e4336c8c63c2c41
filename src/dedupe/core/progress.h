// The progress line of a long dedupe run.
#ifndef KORVIX_DEDUPE_PROGRESS_H_
#define KORVIX_DEDUPE_PROGRESS_H_

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace korvix::dedupe {

// Inputs smaller than this are done before a progress line would help.
inline constexpr std::uint64_t kLargeInput = std::uint64_t{16} << 20;

// The text of the progress line: the share of the input read when its size
// is known, the records keyed and the records per second, such as
// "45% read, 452,113 records, 1,020,330 records/s".
std::string FormatProgress(std::uint64_t bytes, std::optional<std::uint64_t> total,
                           std::uint64_t records, double seconds);

// Redraws the progress line on a terminal at most ten times a second. Does
// nothing unless `terminal` (the caller checks isatty), and nothing for a
// small input: one whose size is below kLargeInput, or of unknown size until
// that much has been read.
class Progress {
 public:
  Progress(bool terminal, std::optional<std::uint64_t> total, std::FILE* to = stderr);
  ~Progress() { Done(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Update(std::uint64_t bytes, std::uint64_t records);

  // Erases the line, so that later messages start on a clean line.
  void Done();

 private:
  using Clock = std::chrono::steady_clock;
  bool terminal_;
  std::optional<std::uint64_t> total_;
  std::FILE* to_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point next_ = start_;
  bool shown_ = false;
  std::size_t width_ = 0;  // of the line on the screen
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_PROGRESS_H_
