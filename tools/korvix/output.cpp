#include "output.h"

#include <cerrno>
#include <cstring>

#include "cli.h"
#include "korvix/text.h"

namespace korvix::cli {

Output::Output(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {
  buf_.reserve(kBlock + 4096);
}

Output::~Output() {
  if (!buf_.empty()) std::fwrite(buf_.data(), 1, buf_.size(), file_);
  std::fflush(file_);
}

void Output::Flush() {
  if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size()) {
    buf_.clear();
    throw IoError("cannot write " + name_ + ": " + std::strerror(errno));
  }
  buf_.clear();
}

void Output::Finish() {
  Flush();
  if (std::fflush(file_) != 0 || std::ferror(file_)) {
    throw IoError("cannot write " + name_ + ": " + std::strerror(errno));
  }
}

std::string JsonObject(std::span<const std::pair<std::string_view, std::string>> fields) {
  std::string out = "{";
  for (const auto& [key, value] : fields) {
    if (out.size() > 1) out += ", ";
    out += JsonString(key) + ": " + JsonString(value);
  }
  return out + "}";
}

}  // namespace korvix::cli
