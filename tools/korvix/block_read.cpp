#include "block_read.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli.h"

namespace korvix::cli {

bool ReadMore(int fd, const std::string& name, bool grow, BlockBuffer* b) {
  if (b->eof) return false;
  if (b->begin > 0) {
    std::memmove(b->bytes.data(), b->bytes.data() + b->begin, b->end - b->begin);
    b->consumed += b->begin;
    b->end -= b->begin;
    b->begin = 0;
  }
  if (grow && b->end == b->bytes.size()) b->bytes.resize(b->bytes.size() * 2);
  for (;;) {
    const ssize_t n = ::read(fd, b->bytes.data() + b->end, b->bytes.size() - b->end);
    if (n > 0) {
      b->end += static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      b->eof = true;
      return false;
    }
    if (errno != EINTR) throw IoError("cannot read " + name + ": " + std::strerror(errno));
  }
}

}  // namespace korvix::cli
