#include "dedupe/core/progress.h"

#include <algorithm>

namespace korvix::dedupe {

namespace {

// 1234567 as "1,234,567": counts in the millions are read at a glance.
std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

}  // namespace

std::string FormatProgress(std::uint64_t bytes, std::optional<std::uint64_t> total,
                           std::uint64_t records, double seconds) {
  std::string line;
  if (total && *total > 0) {
    const std::uint64_t percent = std::min<std::uint64_t>(100, bytes * 100 / *total);
    line = std::to_string(percent) + "% read, ";
  } else {
    line = Grouped(bytes >> 20) + " MB read, ";
  }
  line += Grouped(records) + (records == 1 ? " record" : " records");
  if (seconds > 0) {
    line += ", " + Grouped(static_cast<std::uint64_t>(static_cast<double>(records) / seconds)) +
            " records/s";
  }
  return line;
}

Progress::Progress(bool terminal, std::optional<std::uint64_t> total, std::FILE* to)
    : terminal_(terminal && (!total || *total >= kLargeInput)), total_(total), to_(to) {}

void Progress::Update(std::uint64_t bytes, std::uint64_t records) {
  if (!terminal_ || (!total_ && bytes < kLargeInput)) return;
  const Clock::time_point now = Clock::now();
  if (now < next_) return;
  next_ = now + std::chrono::milliseconds(100);
  const double seconds = std::chrono::duration<double>(now - start_).count();
  // "\r" returns to the line's start and blanks cover what a longer line
  // left: no escape sequence, which NO_COLOR and plain terminals ask for.
  std::string line = FormatProgress(bytes, total_, records, seconds);
  const std::size_t width = line.size();  // ASCII: one column a byte
  if (width < width_) line.append(width_ - width, ' ');
  width_ = width;
  std::fprintf(to_, "\r%s", line.c_str());
  std::fflush(to_);
  shown_ = true;
}

void Progress::Done() {
  if (!shown_) return;
  std::fprintf(to_, "\r%s\r", std::string(width_, ' ').c_str());
  std::fflush(to_);
  shown_ = false;
  width_ = 0;
}

}  // namespace korvix::dedupe
