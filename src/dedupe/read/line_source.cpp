#include "dedupe/read/line_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "dedupe/core/error.h"

namespace korvix::dedupe {

namespace {
constexpr char kBom[] = "\xEF\xBB\xBF";
}

LineSource::LineSource(int fd, std::string name, std::size_t block)
    : fd_(fd), name_(std::move(name)), block_(std::max<std::size_t>(block, 1)) {}

bool LineSource::ReadMore(BatchText* text, std::size_t want) {
  const std::size_t old = text->size();
  char* const at = text->Grow(want);
  for (;;) {
    const ssize_t n = ::read(fd_, at, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      text->Shrink(old);
      throw IoError("cannot read " + name_ + ": " + std::strerror(errno));
    }
    text->Shrink(old + static_cast<std::size_t>(n));
    if (n == 0) eof_ = true;
    return n > 0;
  }
}

bool LineSource::Read(RecordBatch* batch) {
  batch->Clear();
  BatchText& text = batch->text;
  // Copied, not swapped in: the batch keeps its buffer of a block's size.
  text.append(carry_);
  batch->offset = offset_;
  batch->first_line = line_;
  // Fill a block, then cut it after its last line end; a line longer than
  // a block grows the batch until it ends.
  const char* last_nl = nullptr;
  for (;;) {
    if (!eof_ && text.size() < block_) {
      ReadMore(&text, block_ - text.size());
      continue;
    }
    // An empty batch may have no buffer at all, and memrchr takes no null.
    if (!text.empty()) last_nl = static_cast<const char*>(::memrchr(text.data(), '\n', text.size()));
    if (last_nl != nullptr || eof_) break;
    ReadMore(&text, block_);
  }
  const std::size_t keep = last_nl != nullptr ? static_cast<std::size_t>(last_nl - text.data()) + 1
                                              : text.size();
  carry_.assign(std::string_view(text).substr(keep));
  text.Shrink(keep);
  offset_ += keep;
  if (text.empty()) return false;
  // memchr goes sixteen or more bytes a step; std::count goes one.
  for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '\n', text.data() + keep - p)));
       ++p) {
    ++line_;
  }
  return true;
}

void LineSource::Split(RecordBatch* batch) const {
  if (batch->split) return;
  batch->split = true;
  const char* const p = batch->text.data();
  const std::size_t n = batch->text.size();
  std::uint64_t line = batch->first_line;
  for (std::size_t pos = 0; pos < n; ++line) {
    const void* nl = std::memchr(p + pos, '\n', n - pos);
    const std::size_t end = nl != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nl) - p) : n;
    std::size_t begin = pos;
    std::size_t len = end - pos;
    if (len > 0 && p[end - 1] == '\r') --len;
    if (batch->offset + begin == 0 && len >= 3 && std::memcmp(p, kBom, 3) == 0) {
      begin += 3;
      len -= 3;
    }
    if (len > 0) {
      // A record string longer than 4 GB cannot be keyed in memory anyway.
      const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(len, 0xFFFFFFFFu));
      batch->records.push_back({begin, size, {line, batch->offset + begin, size}});
    }
    pos = end + 1;
  }
}

}  // namespace korvix::dedupe
