#include "line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli.h"
#include "output.h"

namespace korvix::cli {

namespace {
constexpr std::size_t kBlock = 1 << 20;
}

LineReader::LineReader(int fd, std::string name)
    : fd_(fd), name_(std::move(name)), buf_(kBlock) {}

bool LineReader::Fill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    consumed_ += begin_;
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
  for (;;) {
    const ssize_t n = ::read(fd_, buf_.data() + end_, buf_.size() - end_);
    if (n > 0) {
      end_ += static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      eof_ = true;
      return false;
    }
    if (errno != EINTR) throw IoError("cannot read " + name_ + ": " + std::strerror(errno));
  }
}

bool LineReader::Next(std::string_view* line) {
  std::size_t scanned = 0;  // unread bytes already searched for "\n"
  std::size_t stop = 0, next = 0;
  for (;;) {
    const std::size_t avail = end_ - begin_;
    const void* nl = std::memchr(buf_.data() + begin_ + scanned, '\n', avail - scanned);
    if (nl != nullptr) {
      stop = static_cast<std::size_t>(static_cast<const char*>(nl) - buf_.data());
      next = stop + 1;
      break;
    }
    scanned = avail;
    if (!Fill()) {  // Fill keeps the unread bytes, now from the front
      if (begin_ == end_) return false;
      stop = next = end_;
      break;
    }
  }
  std::size_t len = stop - begin_;
  if (len > 0 && buf_[begin_ + len - 1] == '\r') --len;
  *line = std::string_view(buf_.data() + begin_, len);
  line_offset_ = consumed_ + begin_;
  begin_ = next;
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

int TransformLines(const Args& args, std::string (*transform)(std::string_view)) {
  Output out;
  ForEachInput(args.operands(), [&](LineReader& in) {
    std::string_view line;
    while (in.Next(&line)) out.Line(transform(line));
  });
  out.Finish();
  return kExitOk;
}

}  // namespace korvix::cli
