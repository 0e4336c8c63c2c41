// Buffered output for the korvix command line.
#ifndef KORVIX_TOOLS_OUTPUT_H_
#define KORVIX_TOOLS_OUTPUT_H_

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace korvix::cli {

// Collects output in a large buffer and writes it in blocks. Throws IoError
// when writing fails, so a full disk or a closed pipe ends the run with
// status 1 instead of a silently short result.
class Output {
 public:
  explicit Output(std::FILE* file = stdout, std::string name = "standard output");
  ~Output();  // flushes; errors found only here are lost, so call Finish()
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(std::string_view bytes) {
    buf_.append(bytes);
    if (buf_.size() >= kBlock) Flush();
  }
  void Line(std::string_view bytes) {
    buf_.append(bytes);
    buf_.push_back('\n');
    if (buf_.size() >= kBlock) Flush();
  }

  // Writes everything out; throws IoError on failure.
  void Finish();

 private:
  static constexpr std::size_t kBlock = 1 << 20;
  void Flush();

  std::FILE* file_;
  std::string name_;
  std::string buf_;
};

// {"key": "value", ...} with every value a JSON string, in order: the
// listings' --json lines.
std::string JsonObject(std::span<const std::pair<std::string_view, std::string>> fields);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_OUTPUT_H_
