// Where a report goes: standard output, or a file that appears complete or
// not at all.
#ifndef KORVIX_DEDUPE_REPORT_FILE_H_
#define KORVIX_DEDUPE_REPORT_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dedupe/core/temp_files.h"

namespace korvix::dedupe {

// How the characters of a report become bytes. Reports are made as UTF-8;
// kUtf8Bom puts a byte order mark first (so that Excel reads a CSV file as
// UTF-8), kWindows1252 writes each character as its Windows-1252 byte.
enum class ReportEncoding { kUtf8, kUtf8Bom, kWindows1252 };

// Appends the UTF-8 text `utf8` in Windows-1252. A character that
// Windows-1252 cannot hold becomes '?'; returns how many did. REQUIRES:
// `utf8` is valid UTF-8.
std::uint64_t AppendWindows1252(std::string_view utf8, std::string* out);

// Collects the report in a large buffer and writes it in blocks.
//
// A path that names a regular file, or nothing yet, is written under a
// temporary name beside it, ".NAME.korvix-PID-XXXXXX", and renamed over it
// by Commit, so the path holds the old file until the new one is whole. A
// symbolic link is followed: its target is replaced, the link stays. A
// replaced file keeps its mode; a new one gets 0666 less the umask. A path
// that names anything else (a device such as /dev/null, a FIFO) is written
// straight. Until Commit every failure the process sees removes the
// temporary file: an exception (a full disk, the file size limit, which
// would otherwise kill the process with SIGXFSZ), and SIGINT, SIGTERM or
// SIGHUP, which then end the process as they would have. A crash leaves the
// temporary name, which the next report to the same path removes when its
// process is gone.
//
// The signal handlers are the process's (RemovedOnSignal), shared with
// the run's temporary files.
class ReportFile {
 public:
  ReportFile();  // standard output
  // Opens `path`. Throws IoError when it cannot be written.
  explicit ReportFile(const std::string& path);
  ~ReportFile();  // removes the temporary file unless committed
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  // Sets the encoding of what follows; a byte order mark is written at
  // once. Call before the first Write.
  void SetEncoding(ReportEncoding encoding);

  // Appends UTF-8 text, in the encoding. REQUIRES: valid UTF-8.
  void Write(std::string_view text) {
    if (windows1252_) {
      unmapped_ += AppendWindows1252(text, &buf_);
    } else {
      buf_.append(text);
    }
    if (buf_.size() >= kBlock) Flush();
  }
  void Line(std::string_view text) {
    Write(text);
    Write("\n");
  }

  // Characters written as '?' since the encoding cannot hold them.
  std::uint64_t unmapped() const { return unmapped_; }

  // Writes everything out and, for a temporary file, makes it durable and
  // renames it over the path. Throws IoError, leaving the path as it was.
  void Commit();

 private:
  static constexpr std::size_t kBlock = 1 << 20;
  void Flush();
  [[noreturn]] void Fail(int error);

  std::string name_;    // for messages: the path as given, or "standard output"
  std::string target_;  // the file replaced: the path with links followed
  std::string temp_;    // the temporary file while it exists
  std::optional<RemovedOnSignal> on_signal_;  // while temp_ exists
  int fd_ = 1;
  bool own_fd_ = false;
  bool windows1252_ = false;
  std::uint64_t unmapped_ = 0;
  std::string buf_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_REPORT_FILE_H_
