#include "dedupe/report/report_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/text.h"
#include "dedupe/core/error.h"
#include "dedupe/core/temp_files.h"

namespace korvix::dedupe {

namespace {

constexpr char kTempMark[] = ".korvix-";

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// `path` with symbolic links followed to the file they name, which may not
// exist yet. Gives up after 40 links, as the kernel does.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0) return path;
    target.resize(static_cast<std::size_t>(n));
    path = target.starts_with('/') ? target : DirectoryOf(path) + target;
  }
  return path;
}

// Removes the temporary files that reports to `target` left when their
// process crashed: ".NAME.korvix-PID-XXXXXX" whose PID runs no more.
void RemoveLeftovers(const std::string& target) {
  const std::string dir = DirectoryOf(target);
  const std::string prefix = "." + target.substr(dir.size()) + kTempMark;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (!name.starts_with(prefix)) continue;
    const std::string_view rest = name.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0 || rest.size() - dash != 7) continue;
    pid_t pid = 0;
    for (const char c : rest.substr(0, dash)) {
      if (c < '0' || c > '9') pid = -1;
      if (pid >= 0) pid = pid * 10 + (c - '0');
    }
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) ::unlink((dir + std::string(name)).c_str());
  }
  ::closedir(d);
}

mode_t NewFileMode(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::uint64_t AppendWindows1252(std::string_view utf8, std::string* out) {
  std::uint64_t unmapped = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const text::Character c = text::DecodeCharacter(utf8, i);
    i += c.length;
    // Latin-1 is Windows-1252 but for 0x80-0x9F, where only the five bytes
    // that Windows-1252 leaves undefined read back as their C1 control.
    if (c.code < 0x80 || (c.code >= 0xA0 && c.code <= 0xFF)) {
      out->push_back(static_cast<char>(c.code));
      continue;
    }
    char byte = '?';
    for (std::size_t b = 0; b < text::kCp1252High.size(); ++b) {
      if (text::kCp1252High[b] == c.code) byte = static_cast<char>(0x80 + b);
    }
    unmapped += byte == '?';
    out->push_back(byte);
  }
  return unmapped;
}

void ReportFile::SetEncoding(ReportEncoding encoding) {
  windows1252_ = encoding == ReportEncoding::kWindows1252;
  if (encoding == ReportEncoding::kUtf8Bom) buf_.append("\xEF\xBB\xBF");
}

ReportFile::ReportFile() : name_("standard output") { buf_.reserve(kBlock + 4096); }

ReportFile::ReportFile(const std::string& path) : name_(path), target_(FollowLinks(path)) {
  buf_.reserve(kBlock + 4096);
  struct stat st;
  if (::stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    // A device or a FIFO cannot be replaced, and need not be.
    fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) throw IoError("cannot write " + name_ + ": " + std::strerror(errno));
    own_fd_ = true;
    return;
  }
  RemoveLeftovers(target_);
  const std::size_t slash = target_.rfind('/') + 1;  // 0 when there is none
  temp_ = target_.substr(0, slash) + "." + target_.substr(slash) + kTempMark +
          std::to_string(::getpid()) + "-XXXXXX";
  if (temp_.size() > PATH_MAX) throw IoError("cannot write " + name_ + ": the name is too long");
  fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    temp_.clear();
    throw IoError("cannot write " + name_ + ": " + std::strerror(errno));
  }
  own_fd_ = true;
  try {
    on_signal_.emplace(temp_);
  } catch (...) {
    ::close(fd_);
    ::unlink(temp_.c_str());
    throw;
  }
  ::fchmod(fd_, NewFileMode(target_));
}

void ReportFile::Fail(int error) {
  buf_.clear();
  throw IoError("cannot write " + name_ + ": " + std::strerror(error));
}

void ReportFile::Flush() {
  const char* p = buf_.data();
  std::size_t n = buf_.size();
  while (n > 0) {
    const ssize_t w = ::write(fd_, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) Fail(w < 0 ? errno : EIO);
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  buf_.clear();
}

void ReportFile::Commit() {
  Flush();
  if (temp_.empty()) return;
  if (::fsync(fd_) != 0) Fail(errno);
  const int fd = fd_;
  own_fd_ = false;
  if (::close(fd) != 0) Fail(errno);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail(errno);
  temp_.clear();
  on_signal_.reset();
}

ReportFile::~ReportFile() {
  if (own_fd_) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

}  // namespace korvix::dedupe
