#include "dedupe/core/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>

#include "dedupe/core/error.h"

namespace korvix::dedupe {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr char kFolderMark[] = "korvix-";

// The paths for the handler, in fixed buffers: a run's report, clean file
// and mapping, and its temporary folder and files.
constexpr int kSlots = 32;
char g_path[kSlots][PATH_MAX + 1];
int g_used = 0;  // slots in use; the handlers are installed while any is
std::mutex g_slots;  // runs on several threads take and give back slots
struct sigaction g_previous[3];
struct sigaction g_previous_xfsz;

void RemoveAndDie(int sig) {
  for (int i = 0; i < kSlots; ++i) {
    if (g_path[i][0] != '\0') ::unlink(g_path[i]);
  }
  for (int i = 0; i < kSlots; ++i) {  // the folders, now empty
    if (g_path[i][0] != '\0') ::rmdir(g_path[i]);
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// Removes the files in `folder`, then the folder.
void RemoveFolder(const std::string& folder) {
  if (DIR* d = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      if (e->d_name[0] != '.') ::unlink((folder + "/" + e->d_name).c_str());
    }
    ::closedir(d);
  }
  ::rmdir(folder.c_str());
}

// The process that made a folder "korvix-PID-XXXXXX", 0 for another name.
pid_t MakerOf(std::string_view name) {
  if (!name.starts_with(kFolderMark)) return 0;
  name.remove_prefix(sizeof kFolderMark - 1);
  const std::size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash == 0 || name.size() - dash != 7) return 0;
  pid_t pid = 0;
  for (const char c : name.substr(0, dash)) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid;
}

// Removes the folders in `parent` that runs left whose process is gone.
void RemoveLeftovers(const std::string& parent) {
  DIR* d = ::opendir(parent.c_str());
  if (d == nullptr) return;
  while (const dirent* e = ::readdir(d)) {
    const pid_t pid = MakerOf(e->d_name);
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) RemoveFolder(parent + "/" + e->d_name);
  }
  ::closedir(d);
}

}  // namespace

RemovedOnSignal::RemovedOnSignal(const std::string& path) : slot_(0) {
  const std::lock_guard lock(g_slots);
  while (slot_ < kSlots && g_path[slot_][0] != '\0') ++slot_;
  if (slot_ == kSlots || path.size() > PATH_MAX) {
    throw IoError("cannot write " + path + ": too many files open at once");
  }
  std::memcpy(g_path[slot_], path.c_str(), path.size() + 1);
  if (g_used++ > 0) return;
  struct sigaction action {};
  action.sa_handler = RemoveAndDie;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, &g_previous_xfsz);
}

RemovedOnSignal::~RemovedOnSignal() {
  const std::lock_guard lock(g_slots);
  g_path[slot_][0] = '\0';
  if (--g_used > 0) return;
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  ::sigaction(SIGXFSZ, &g_previous_xfsz, nullptr);
}

std::string SystemTempFolder() {
  const char* tmpdir = std::getenv("TMPDIR");
  return tmpdir != nullptr && tmpdir[0] != '\0' ? tmpdir : "/tmp";
}

TempFile::TempFile(const TempFolder& folder, std::string path)
    : folder_(folder), path_(std::move(path)), fd_(-1), on_signal_(path_) {
  fd_ = folder.Open(path_);  // listed first: a signal never finds it unlisted
}

TempFile::~TempFile() {
  ::close(fd_);
  ::unlink(path_.c_str());
}

void TempFile::Write(std::string_view bytes) {
  constexpr std::size_t kBlock = 1 << 20;
  if (buffer_.size() + bytes.size() < kBlock) {
    buffer_.append(bytes);
    return;
  }
  Flush();
  Put(bytes);  // large: not copied
}

void TempFile::Flush() {
  Put(buffer_);
  buffer_.clear();
}

void TempFile::Put(std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(written_ + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("write", n < 0 ? errno : ENOSPC);
    done += static_cast<std::size_t>(n);
  }
  written_ += bytes.size();
}

void TempFile::Read(std::uint64_t offset, std::size_t size, char* out) const {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("read", n < 0 ? errno : EIO);
    done += static_cast<std::size_t>(n);
  }
}

void TempFile::Fail(const char* doing, int error) const {
  folder_.Fail(std::string("cannot ") + doing + " the temporary file " + path_, error);
}

TempFolder::TempFolder(std::string parent) : parent_(parent.empty() ? SystemTempFolder() : std::move(parent)) {}

TempFolder::~TempFolder() {
  if (!path_.empty()) RemoveFolder(path_);
}

void TempFolder::Check() const {
  struct stat st;
  if (::stat(parent_.c_str(), &st) != 0) Fail("cannot use the temporary folder " + parent_, errno);
  if (!S_ISDIR(st.st_mode)) Fail("cannot use the temporary folder " + parent_, ENOTDIR);
  if (::access(parent_.c_str(), W_OK | X_OK) != 0) Fail("cannot write in the temporary folder " + parent_, errno);
}

std::string TempFolder::NextPath() {
  const std::lock_guard lock(mutex_);
  if (path_.empty()) {
    RemoveLeftovers(parent_);
    // Listed before it is made, so that a signal never finds it unlisted.
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int tries = 1;; ++tries) {
      std::string path = parent_ + "/" + kFolderMark + std::to_string(::getpid()) + "-";
      for (int i = 0; i < 6; ++i) path += kLetters[random() % (sizeof kLetters - 1)];
      on_signal_.emplace(path);
      if (::mkdir(path.c_str(), 0700) == 0) {
        path_ = std::move(path);
        break;
      }
      const int error = errno;
      on_signal_.reset();
      if (error != EEXIST || tries == 100) Fail("cannot make a folder in the temporary folder " + parent_, error);
    }
  }
  return path_ + "/" + std::to_string(files_++);
}

int TempFolder::Open(const std::string& path) const {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) Fail("cannot make a file in the temporary folder " + parent_, errno);
  return fd;
}

std::unique_ptr<TempFile> TempFolder::Create() {
  return std::unique_ptr<TempFile>(new TempFile(*this, NextPath()));
}

int TempFolder::CreateUnnamed() {
  // Made in the run's folder, not with O_TMPFILE, so that while it lives the
  // folder's signal handling (SIGXFSZ ignored) is in force.
  const std::string path = NextPath();
  const RemovedOnSignal listed(path);  // until it has no name
  const int fd = Open(path);
  ::unlink(path.c_str());
  return fd;
}

void TempFolder::Fail(const std::string& doing, int error) const {
  const bool full = error == ENOSPC || error == EFBIG || error == EDQUOT;
  throw IoError(doing + " (" + std::strerror(error) + "): " +
                (full ? "free space there or give another folder (--temp-dir)"
                      : "give a folder this user may write in (--temp-dir)"));
}

}  // namespace korvix::dedupe
