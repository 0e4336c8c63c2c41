// Streaming line input for the korvix command line.
#ifndef KORVIX_TOOLS_LINE_READER_H_
#define KORVIX_TOOLS_LINE_READER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>


namespace korvix::cli {

// Reads lines from a file descriptor in large blocks, in constant memory
// (one block plus the longest line). A line ends at "\n"; a "\r" before it
// is dropped, so CRLF files read like LF files. The last line needs no "\n".
class LineReader {
 public:
  // Reads `fd`, which stays owned by the caller; `name` is for messages.
  LineReader(int fd, std::string name);

  // Sets `*line` to the next line, valid until the next call; returns false
  // at the end of the input. Throws IoError when reading fails.
  bool Next(std::string_view* line);

  // The 1-based number of the line last returned.
  std::uint64_t line_number() const { return line_number_; }

  // The byte offset in the input where the line last returned begins.
  std::uint64_t line_offset() const { return line_offset_; }

  // The offset just past the line last returned and its line break.
  std::uint64_t end_offset() const { return consumed_ + begin_; }

  const std::string& name() const { return name_; }

 private:
  // Moves the unread bytes to the front and reads more after them, growing
  // the buffer when a line fills it; false at the end of the input.
  bool Fill();

  int fd_;
  std::string name_;
  std::vector<char> buf_;
  std::size_t begin_ = 0, end_ = 0;  // the unread bytes are buf_[begin_, end_)
  std::uint64_t consumed_ = 0;       // input offset of buf_[0]
  bool eof_ = false;
  std::uint64_t line_number_ = 0;
  std::uint64_t line_offset_ = 0;
};

// Opens each operand ("-" or no operand at all: standard input) in turn and
// calls `fn(LineReader&)` on it. Throws IoError when a file cannot be opened.
template <class Fn>
void ForEachInput(const std::vector<std::string>& operands, Fn&& fn);

// Opens `path` for reading ("-" is standard input); throws IoError.
int OpenInput(const std::string& path);
void CloseInput(int fd);

template <class Fn>
void ForEachInput(const std::vector<std::string>& operands, Fn&& fn) {
  const std::vector<std::string> inputs = operands.empty() ? std::vector<std::string>{"-"} : operands;
  for (const std::string& path : inputs) {
    const int fd = OpenInput(path);
    struct Closer {
      int fd;
      ~Closer() { CloseInput(fd); }
    } closer{fd};
    LineReader reader(fd, path == "-" ? "standard input" : path);
    fn(reader);
  }
}

class Args;

// Reads the operands (standard input when none) line by line and prints
// `transform` of each line, in order: the commands that turn every input
// line into one output line. Returns the exit status.
int TransformLines(const Args& args, std::string (*transform)(std::string_view));

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_LINE_READER_H_
