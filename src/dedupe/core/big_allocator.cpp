#include "dedupe/core/big_allocator.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <vector>

namespace korvix::dedupe {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

// Blocks given back, kept for the next array of about their size: a run
// makes and drops many temporary arrays (sorting, pairs, profiles), and
// fresh pages cost a fault and the kernel's zero fill each, about a tenth
// of a run. The cache is small and is emptied when a run ends.
constexpr std::size_t kCachedBytes = std::size_t{64} << 20;
constexpr std::size_t kCachedBlocks = 16;

struct Block {
  void* p;
  std::size_t size;
};

struct Cache {
  std::mutex mutex;
  std::vector<Block> blocks;
  std::size_t bytes = 0;
};

Cache& TheCache() {
  static Cache* cache = new Cache;  // never destroyed: arrays may outlive statics
  return *cache;
}

// A cached block of `size` bytes or a little more, or null.
void* TakeCached(std::size_t size) {
  Cache& c = TheCache();
  std::lock_guard lock(c.mutex);
  std::size_t best = c.blocks.size();
  for (std::size_t i = 0; i < c.blocks.size(); ++i) {
    const std::size_t have = c.blocks[i].size;
    if (have >= size && have <= size + size / 2 && (best == c.blocks.size() || have < c.blocks[best].size)) best = i;
  }
  if (best == c.blocks.size()) return nullptr;
  void* p = c.blocks[best].p;
  c.bytes -= c.blocks[best].size;
  c.blocks.erase(c.blocks.begin() + static_cast<std::ptrdiff_t>(best));
  return p;
}

}  // namespace

void* MapBig(std::size_t bytes) {
  const std::size_t size = RoundUp(bytes);
  if (void* cached = TakeCached(size)) return cached;
  // Map one huge page more and trim, so the block starts on a huge page.
  void* raw = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto at = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (at + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > at) ::munmap(raw, aligned - at);
  const std::uintptr_t end = at + size + kHugePage;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  void* p = reinterpret_cast<void*>(aligned);
  // Only advice: where huge pages are off, ordinary pages serve.
  ::madvise(p, size, MADV_HUGEPAGE);
  return p;
}

void UnmapBig(void* p, std::size_t bytes) {
  const std::size_t size = RoundUp(bytes);
  if (size <= kCachedBytes / 4) {
    Cache& c = TheCache();
    std::lock_guard lock(c.mutex);
    if (c.bytes + size <= kCachedBytes && c.blocks.size() < kCachedBlocks) {
      c.blocks.push_back({p, size});
      c.bytes += size;
      return;
    }
  }
  ::munmap(p, size);
}

void ReleaseCachedBlocks() {
  Cache& c = TheCache();
  std::lock_guard lock(c.mutex);
  for (const Block& b : c.blocks) ::munmap(b.p, b.size);
  c.blocks.clear();
  c.bytes = 0;
}

char* ByteBuffer::Reserve(std::size_t size) {
  if (size <= capacity_) return data_;
  Free();
  // A quarter more, so a slowly growing need does not map anew each time.
  const std::size_t capacity = size + size / 4;
  data_ = BigAllocator<char>().allocate(capacity);
  capacity_ = capacity;
  return data_;
}

void ByteBuffer::Free() {
  if (data_ != nullptr) BigAllocator<char>().deallocate(data_, capacity_);
  data_ = nullptr;
  capacity_ = 0;
}

}  // namespace korvix::dedupe
