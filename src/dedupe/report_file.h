// Where a report goes: standard output, or a file that appears complete or
// not at all.
#ifndef KORVIX_DEDUPE_REPORT_FILE_H_
#define KORVIX_DEDUPE_REPORT_FILE_H_

#include <string>
#include <string_view>

namespace korvix::dedupe {

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
// Only one ReportFile with a path may be open at a time: the signal
// handlers are the process's.
class ReportFile {
 public:
  ReportFile();  // standard output
  // Opens `path`. Throws IoError when it cannot be written.
  explicit ReportFile(const std::string& path);
  ~ReportFile();  // removes the temporary file unless committed
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  void Write(std::string_view bytes) {
    buf_.append(bytes);
    if (buf_.size() >= kBlock) Flush();
  }
  void Line(std::string_view bytes) {
    buf_.append(bytes);
    buf_.push_back('\n');
    if (buf_.size() >= kBlock) Flush();
  }

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
  int fd_ = 1;
  bool own_fd_ = false;
  std::string buf_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_REPORT_FILE_H_
