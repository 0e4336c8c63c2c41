// An output file that appears complete or not at all.
#ifndef KORVIX_TOOLS_DEDUPE_ATOMIC_FILE_H_
#define KORVIX_TOOLS_DEDUPE_ATOMIC_FILE_H_

#include <cstdio>
#include <string>

namespace korvix::cli {

// Writes to a temporary file beside `path` (same directory, so the rename
// cannot cross file systems) and renames it over `path` on Commit. Until
// then `path` is untouched: a failed run removes the temporary file, and so
// does SIGINT, SIGTERM or SIGHUP, which then end the process as they would
// have. The file gets the mode that `path` has, or 0666 less the umask.
//
// Only one AtomicFile may be open at a time: the signal handlers are the
// process's.
class AtomicFile {
 public:
  // Creates the temporary file. Throws IoError when it cannot, for example
  // when the directory does not exist or is not writable.
  explicit AtomicFile(std::string path);
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  std::FILE* file() const { return file_; }
  const std::string& path() const { return path_; }

  // Flushes the file to the disk, closes it and renames it to `path`.
  // Throws IoError, leaving `path` as it was.
  void Commit();

 private:
  std::string path_;
  std::string temp_;
  std::FILE* file_ = nullptr;
};

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_DEDUPE_ATOMIC_FILE_H_
