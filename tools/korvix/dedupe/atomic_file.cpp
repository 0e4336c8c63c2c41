#include "dedupe/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli.h"

namespace korvix::cli {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file for the handler: a fixed buffer, since a handler may
// only call async-signal-safe functions.
char g_temp[PATH_MAX + 1];
struct sigaction g_previous[3];

void RemoveAndDie(int sig) {
  ::unlink(g_temp);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void InstallHandlers() {
  struct sigaction action {};
  action.sa_handler = RemoveAndDie;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
}

void RestoreHandlers() {
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  g_temp[0] = '\0';
}

mode_t NewFileMode(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  const std::size_t slash = path_.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  temp_ = dir + "." + base + ".korvix-XXXXXX";
  if (temp_.size() > PATH_MAX) throw IoError("cannot write " + path_ + ": the name is too long");
  const int fd = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd < 0) throw IoError("cannot write " + path_ + ": " + std::strerror(errno));
  std::memcpy(g_temp, temp_.c_str(), temp_.size() + 1);
  InstallHandlers();
  ::fchmod(fd, NewFileMode(path_));
  file_ = ::fdopen(fd, "w");
  if (file_ == nullptr) {
    ::close(fd);
    ::unlink(temp_.c_str());
    RestoreHandlers();
    throw IoError("cannot write " + path_ + ": " + std::strerror(errno));
  }
}

void AtomicFile::Commit() {
  const bool flushed = std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
  const int error = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    throw IoError("cannot write " + path_ + ": " + std::strerror(flushed ? errno : error));
  }
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    throw IoError("cannot write " + path_ + ": " + std::strerror(errno));
  }
  temp_.clear();
  RestoreHandlers();
}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    RestoreHandlers();
  }
}

}  // namespace korvix::cli
