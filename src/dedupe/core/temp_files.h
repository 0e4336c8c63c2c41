// Temporary files of a run, removed however the run ends: at its end, by an
// exception, or by SIGINT, SIGTERM or SIGHUP.
#ifndef KORVIX_DEDUPE_TEMP_FILES_H_
#define KORVIX_DEDUPE_TEMP_FILES_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace korvix::dedupe {

// Keeps `path` on the list of what SIGINT, SIGTERM and SIGHUP remove before
// they end the process as they would have: files first, then (empty)
// folders. While anything is on the list those handlers are installed, and
// SIGXFSZ is ignored, so that a write past the file size limit fails
// (EFBIG) like a full disk instead of killing the process. The list is the
// process's, of fixed size, since a handler may only call async-signal-safe
// functions.
class RemovedOnSignal {
 public:
  // Throws IoError when the list is full.
  explicit RemovedOnSignal(const std::string& path);
  ~RemovedOnSignal();  // off the list (the path itself stays)
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

 private:
  int slot_;
};

// The system's temporary folder: $TMPDIR, else /tmp.
std::string SystemTempFolder();

class TempFolder;

// A file of a TempFolder, open for writing and reading back; removed when
// it ends. Write and read failures throw IoError naming the folder and
// what to do (a full disk: free space or choose another folder).
class TempFile {
 public:
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Appends `bytes`, buffered; Flush before reading back what was written.
  void Write(std::string_view bytes);
  void Flush();
  // Reads `size` bytes from `offset` into `out`. REQUIRES: written and flushed.
  void Read(std::uint64_t offset, std::size_t size, char* out) const;
  std::uint64_t size() const { return written_ + buffer_.size(); }

 private:
  friend class TempFolder;
  TempFile(const TempFolder& folder, std::string path);  // made at `path`
  void Put(std::string_view bytes);
  [[noreturn]] void Fail(const char* doing, int error) const;

  const TempFolder& folder_;
  std::string path_;
  int fd_;
  RemovedOnSignal on_signal_;
  std::string buffer_;
  std::uint64_t written_ = 0;
};

// The folder of one run's temporary files, "korvix-PID-XXXXXX" in `parent`
// (empty: SystemTempFolder()), so that they are known as the run's. It is
// made with the first file and removed with all in it when the object
// ends; making it first removes the folders that runs whose process is
// gone left behind (a crash, SIGKILL).
class TempFolder {
 public:
  explicit TempFolder(std::string parent = "");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Throws IoError, naming the folder, when `parent` is not a folder this
  // process may write in: a run that was told where to spill fails before
  // the long part, not in it.
  void Check() const;

  // A new empty file. Throws IoError naming the folder when it cannot be made.
  std::unique_ptr<TempFile> Create();
  // A new empty file already removed from the folder, open for reading and
  // writing: its space comes back when it is closed, whatever ends the
  // process. Throws as Create. Safe to call beside Create on another thread.
  int CreateUnnamed();

  // Throws IoError: `doing` failed with `error`, and what to do about it.
  [[noreturn]] void Fail(const std::string& doing, int error) const;

  const std::string& parent() const { return parent_; }
  const std::string& path() const { return path_; }  // empty until made

 private:
  friend class TempFile;  // opens itself once listed for the signals
  // The next file's path, the folder made first if need be.
  std::string NextPath();
  // `path` made anew, open for reading and writing.
  int Open(const std::string& path) const;

  std::mutex mutex_;  // guards what follows
  std::string parent_;
  std::string path_;  // empty until made
  int files_ = 0;     // made so far, for their names
  std::optional<RemovedOnSignal> on_signal_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_TEMP_FILES_H_
