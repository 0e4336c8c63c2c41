// The progress line of a long dedupe run.
#ifndef KORVIX_DEDUPE_PROGRESS_H_
#define KORVIX_DEDUPE_PROGRESS_H_

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace korvix::dedupe {

// Inputs smaller than this are done before a progress line would help.
inline constexpr std::uint64_t kLargeInput = std::uint64_t{16} << 20;

// The text of the progress line: the share of the input read when its size
// is known, the records keyed, the records per second and the time left,
// such as "45% read, 452,113 records, 1,020,330 records/s, 2 s left".
std::string FormatProgress(std::uint64_t bytes, std::optional<std::uint64_t> total,
                           std::uint64_t records, double seconds);

// The progress line of a later step: "comparing 1,200,000 of 4,000,000
// pairs (30%), 7 s left", `seconds` since the step began.
std::string FormatStep(std::string_view step, std::uint64_t done, std::uint64_t total,
                       std::string_view things, double seconds);

// Redraws the progress line on a terminal at most ten times a second. Does
// nothing unless `terminal` (the caller checks isatty). Reading shows
// nothing for a small input: one whose size is below kLargeInput, or of
// unknown size until that much has been read; a later step shows nothing
// in its first second, so a short run stays quiet.
class Progress {
 public:
  Progress(bool terminal, std::optional<std::uint64_t> total, std::FILE* to = stderr);
  ~Progress() { Done(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Update(std::uint64_t bytes, std::uint64_t records);

  // `done` of `total` `things` of `step` ("comparing", "pairs"); a step
  // begins when its name changes.
  void Step(std::string_view step, std::uint64_t done, std::uint64_t total, std::string_view things);

  // Erases the line, so that later messages start on a clean line.
  void Done();

 private:
  using Clock = std::chrono::steady_clock;
  void Draw(std::string line);

  bool terminal_;
  bool reading_shown_;  // the input is large enough for the reading line
  std::optional<std::uint64_t> total_;
  std::FILE* to_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point next_ = start_;
  bool shown_ = false;
  std::string step_;
  Clock::time_point step_start_ = start_;
  std::size_t width_ = 0;  // of the line on the screen
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_PROGRESS_H_
