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

// " 12 s left" when `done` of `total` took `seconds`, or "" before a guess
// is worth reading.
std::string TimeLeft(double done, double total, double seconds) {
  if (done <= 0 || seconds < 1 || done >= total) return {};
  const auto left = static_cast<std::uint64_t>(seconds * (total - done) / done + 0.5);
  return ", " + (left >= 120 ? Grouped(left / 60) + " min" : Grouped(left) + " s") + " left";
}

}  // namespace

std::string FormatStep(std::string_view step, std::uint64_t done, std::uint64_t total,
                       std::string_view things, double seconds) {
  std::string line(step);
  line += " " + Grouped(done) + " of " + Grouped(total) + " ";
  line += things;
  if (total > 0) line += " (" + std::to_string(std::min<std::uint64_t>(100, done * 100 / total)) + "%)";
  return line + TimeLeft(static_cast<double>(done), static_cast<double>(total), seconds);
}

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
  if (total) line += TimeLeft(static_cast<double>(bytes), static_cast<double>(*total), seconds);
  return line;
}

Progress::Progress(bool terminal, std::optional<std::uint64_t> total, std::FILE* to)
    : terminal_(terminal),
      reading_shown_(!total || *total >= kLargeInput),
      total_(total),
      to_(to) {}

void Progress::Update(std::uint64_t bytes, std::uint64_t records) {
  if (!terminal_ || !reading_shown_ || (!total_ && bytes < kLargeInput)) return;
  const Clock::time_point now = Clock::now();
  if (now < next_) return;
  next_ = now + std::chrono::milliseconds(100);
  Draw(FormatProgress(bytes, total_, records, std::chrono::duration<double>(now - start_).count()));
}

void Progress::Step(std::string_view step, std::uint64_t done, std::uint64_t total,
                    std::string_view things) {
  if (!terminal_) return;
  const Clock::time_point now = Clock::now();
  if (step != step_) {
    step_ = step;
    step_start_ = now;
  }
  if (now < next_ || now - step_start_ < std::chrono::seconds(1)) return;
  next_ = now + std::chrono::milliseconds(100);
  Draw(FormatStep(step, done, total, things, std::chrono::duration<double>(now - step_start_).count()));
}

void Progress::Draw(std::string line) {
  // "\r" returns to the line's start and blanks cover what a longer line
  // left: no escape sequence, which NO_COLOR and plain terminals ask for.
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
