// Reading a file descriptor in large blocks into a buffer that keeps the
// bytes not yet used, for the line and CSV readers.
#ifndef KORVIX_TOOLS_BLOCK_READ_H_
#define KORVIX_TOOLS_BLOCK_READ_H_

#include <cstdint>
#include <string>
#include <vector>

namespace korvix::cli {

struct BlockBuffer {
  std::vector<char> bytes;
  std::size_t begin = 0, end = 0;  // the unused bytes are bytes[begin, end)
  std::uint64_t consumed = 0;      // input offset of bytes[0]
  bool eof = false;
};

// Moves the unused bytes of `*buffer` to its front and reads more after them
// from `fd`; when `grow` and no room is left, doubles the buffer first.
// Returns false at the end of the input. Throws IoError naming `name`.
bool ReadMore(int fd, const std::string& name, bool grow, BlockBuffer* buffer);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_BLOCK_READ_H_
