#include "dedupe/key/key_stream.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "base/parallel.h"
#include "dedupe/core/error.h"
#include "dedupe/core/pipeline.h"

namespace korvix::dedupe {

namespace {

struct Block {
  RecordBatch lines;
  std::string keys;  // one line per line of `lines`
  std::string key;   // the builder's buffer
};

void KeyBlock(const KeyBuilder& builder, Block* block) {
  const BatchText& text = block->lines.text;
  const char* const p = text.data();
  const std::size_t n = text.size();
  block->keys.clear();
  for (std::size_t pos = 0; pos < n;) {
    const void* nl = std::memchr(p + pos, '\n', n - pos);
    const std::size_t end = nl != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nl) - p) : n;
    std::size_t length = end - pos;
    if (length > 0 && p[end - 1] == '\r') --length;
    builder.Key(std::string_view(p + pos, length), &block->key);
    block->keys.append(block->key);
    block->keys.push_back('\n');
    pos = end + 1;
  }
}

void WriteAll(const StreamEnd& out, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(out.fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw IoError("cannot write " + out.name + ": " + std::strerror(errno));
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

void KeyLines(const KeyBuilder& builder, LineSource& source, const StreamEnd& out, unsigned threads) {
  if (threads == 0) threads = base::UsableProcessors();
  // Enough blocks that every worker has one while the calling thread reads
  // the next and writes the oldest.
  std::vector<std::unique_ptr<Block>> blocks(2 * std::size_t{threads} + 2);
  for (auto& b : blocks) b = std::make_unique<Block>();
  RunPipeline(
      blocks.size(), threads, [&](std::size_t slot) { return source.Read(&blocks[slot]->lines); },
      [&](std::size_t slot) { KeyBlock(builder, blocks[slot].get()); },
      [&](std::size_t slot) { WriteAll(out, blocks[slot]->keys); });
}

}  // namespace korvix::dedupe

namespace korvix {

void KeyStream(const KeyBuilder& builder, const StreamEnd& in, const StreamEnd& out, unsigned threads) {
  dedupe::LineSource source(in.fd, in.name);
  dedupe::KeyLines(builder, source, out, threads);
}

}  // namespace korvix
