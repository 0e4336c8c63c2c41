#include "line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli.h"

namespace korvix::cli {

namespace {
constexpr std::size_t kBlock = 1 << 20;
}

LineReader::LineReader(int fd, std::string name) : fd_(fd), name_(std::move(name)) {
  in_.bytes.resize(kBlock);
}

bool LineReader::Fill() { return ReadMore(fd_, name_, /*grow=*/true, &in_); }

bool LineReader::Next(std::string_view* line) {
  std::size_t scanned = 0;  // unread bytes already searched for "\n"
  std::size_t stop = 0, next = 0;
  for (;;) {
    const std::size_t avail = in_.end - in_.begin;
    const void* nl = std::memchr(in_.bytes.data() + in_.begin + scanned, '\n', avail - scanned);
    if (nl != nullptr) {
      stop = static_cast<std::size_t>(static_cast<const char*>(nl) - in_.bytes.data());
      next = stop + 1;
      break;
    }
    scanned = avail;
    if (!Fill()) {  // Fill keeps the unread bytes, now from the front
      if (in_.begin == in_.end) return false;
      stop = next = in_.end;
      break;
    }
  }
  std::size_t len = stop - in_.begin;
  if (len > 0 && in_.bytes[in_.begin + len - 1] == '\r') --len;
  *line = std::string_view(in_.bytes.data() + in_.begin, len);
  line_offset_ = in_.consumed + in_.begin;
  in_.begin = next;
  ++line_number_;
  return true;
}

int OpenInput(const std::string& path) {
  if (path == "-") return STDIN_FILENO;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw IoError("cannot open " + path + ": " + std::strerror(errno));
  return fd;
}

void CloseInput(int fd) {
  if (fd != STDIN_FILENO) ::close(fd);
}

}  // namespace korvix::cli
