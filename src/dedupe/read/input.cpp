#include "dedupe/read/input.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "dedupe/core/error.h"

namespace korvix::dedupe {

namespace {

std::string Errno() { return std::strerror(errno); }

// An unlinked temporary file: it vanishes with the process, however it ends.
int TemporaryFile(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  // File systems without O_TMPFILE: create a file and unlink it at once.
  std::string path = dir + "/korvix-spill-XXXXXX";
  fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd < 0) {
    throw IoError("cannot create a temporary file in " + dir + " (" + Errno() +
                  "): give a folder this user may write in (--temp-dir)");
  }
  ::unlink(path.c_str());
  return fd;
}

bool WriteAll(int fd, const char* p, std::size_t n, bool socket) {
  while (n > 0) {
    const ssize_t w = socket ? ::send(fd, p, n, MSG_NOSIGNAL) : ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// The spill thread's own state. It owns duplicates of the descriptors it
// writes, so that it may outlive the Input when a run ends early.
struct SpillJob {
  int from;
  int file;
  int socket;
  std::shared_ptr<std::string> error;  // read by the Input after joining
};

void RunSpill(SpillJob job) {
  std::vector<char> buf(std::size_t{1} << 20);
  std::string error;
  for (;;) {
    const ssize_t n = ::read(job.from, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read standard input: " + Errno();
      break;
    }
    if (n == 0) break;
    const auto size = static_cast<std::size_t>(n);
    if (!WriteAll(job.file, buf.data(), size, false)) {
      error = "cannot spill standard input to a temporary file: " + Errno();
      break;
    }
    // The reader may have stopped early (a --strict run); then we are done.
    if (!WriteAll(job.socket, buf.data(), size, true)) break;
  }
  ::shutdown(job.socket, SHUT_WR);
  ::close(job.socket);
  ::close(job.file);
  *job.error = error;
}

}  // namespace

Input::Input(const std::string& path, const std::string& temp_folder) {
  if (path == "-") {
    name_ = "standard input";
    stream_fd_ = STDIN_FILENO;
  } else {
    name_ = path;
    own_fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (own_fd_ < 0) throw IoError("cannot open " + path + ": " + Errno());
    stream_fd_ = own_fd_;
  }
  struct stat st;
  if (::fstat(stream_fd_, &st) != 0) throw IoError("cannot read " + name_ + ": " + Errno());
  if (S_ISDIR(st.st_mode)) throw IoError("cannot read " + name_ + ": " + std::strerror(EISDIR));
  if (S_ISREG(st.st_mode)) {
    reread_fd_ = stream_fd_;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return;
  }
  spill_fd_ = TemporaryFile(temp_folder);
  reread_fd_ = spill_fd_;
  int sockets[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    throw IoError("cannot spill " + name_ + ": " + Errno());
  }
  // Larger buffers mean fewer switches between the threads; the kernel may cap them.
  const int bytes = 1 << 22;
  ::setsockopt(sockets[1], SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
  ::setsockopt(sockets[0], SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  socket_fd_ = sockets[0];
  const int file = ::fcntl(spill_fd_, F_DUPFD_CLOEXEC, 0);
  if (file < 0) {
    ::close(sockets[1]);
    throw IoError("cannot spill " + name_ + ": " + Errno());
  }
  spill_ = std::thread(RunSpill, SpillJob{stream_fd_, file, sockets[1], spill_error_});
  stream_fd_ = socket_fd_;
}

void Input::EndOfStream() {
  if (!spill_.joinable()) return;
  spill_.join();
  if (!spill_error_->empty()) throw IoError(*spill_error_);
}

Input::~Input() {
  if (spill_.joinable()) {
    // The run ended before the input did. Closing our end stops the spill
    // thread at its next send; it may still wait for standard input, so it
    // is left to end with the process rather than joined.
    ::shutdown(socket_fd_, SHUT_RDWR);
    spill_.detach();
  }
  if (socket_fd_ >= 0) ::close(socket_fd_);
  if (spill_fd_ >= 0) ::close(spill_fd_);
  if (own_fd_ >= 0) ::close(own_fd_);
}

}  // namespace korvix::dedupe
