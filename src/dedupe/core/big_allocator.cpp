#include "dedupe/core/big_allocator.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <vector>

#include "dedupe/core/spill.h"

namespace korvix::dedupe {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

// Blocks given back, kept for the next arrays: a run makes and drops many
// large arrays (keys, sorting, profiles, pairs, groups), and fresh pages
// cost a fault and the kernel's zero fill each, on a virtual machine a
// tenth of a run and more. A block serves a smaller array and keeps the
// rest; neighbours given back join. The next arrays take what is kept
// before any is mapped anew, and little is kept, so the peak stays where
// the arrays put it. Emptied when a run ends.
constexpr std::size_t kCachedBytes = std::size_t{64} << 20;

struct Block {
  char* p;
  std::size_t size;
};

struct Cache {
  std::mutex mutex;
  std::vector<Block> blocks;  // by address, none touching another
  std::size_t bytes = 0;
};

// Bytes of large arrays in anonymous memory, cached blocks not counted:
// what a spill scope weighs against its limit.
std::atomic<std::uint64_t> g_in_memory{0};

Cache& TheCache() {
  static Cache* cache = new Cache;  // never destroyed: arrays may outlive statics
  return *cache;
}

// `size` bytes of the smallest cached block that holds them, or null.
void* TakeCached(std::size_t size) {
  Cache& c = TheCache();
  std::lock_guard lock(c.mutex);
  std::size_t best = c.blocks.size();
  for (std::size_t i = 0; i < c.blocks.size(); ++i) {
    const std::size_t have = c.blocks[i].size;
    if (have >= size && (best == c.blocks.size() || have < c.blocks[best].size)) best = i;
  }
  if (best == c.blocks.size()) return nullptr;
  Block& b = c.blocks[best];
  char* p = b.p;
  c.bytes -= size;
  if (b.size == size) {
    c.blocks.erase(c.blocks.begin() + static_cast<std::ptrdiff_t>(best));
  } else {
    b.p += size;
    b.size -= size;
  }
  return p;
}

// Keeps the block, joined with the cached ones it touches; false when the
// cache is full.
bool Keep(char* p, std::size_t size) {
  Cache& c = TheCache();
  std::lock_guard lock(c.mutex);
  if (c.bytes + size > kCachedBytes) return false;
  c.bytes += size;
  auto at = std::lower_bound(c.blocks.begin(), c.blocks.end(), p,
                             [](const Block& b, const char* q) { return b.p < q; });
  if (at != c.blocks.begin() && std::prev(at)->p + std::prev(at)->size == p) {
    --at;
    at->size += size;
  } else {
    at = c.blocks.insert(at, Block{p, size});
  }
  const auto next = std::next(at);
  if (next != c.blocks.end() && at->p + at->size == next->p) {
    at->size += next->size;
    c.blocks.erase(next);
  }
  return true;
}

}  // namespace

void* MapBig(std::size_t bytes) {
  const std::size_t size = RoundUp(bytes);
  if (void* spilled = MapSpilled(size, g_in_memory.load(std::memory_order_relaxed))) return spilled;
  g_in_memory.fetch_add(size, std::memory_order_relaxed);
  if (void* cached = TakeCached(size)) return cached;
  // Map one huge page more and trim, so the block starts on a huge page.
  void* raw = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) {
    g_in_memory.fetch_sub(size, std::memory_order_relaxed);
    throw std::bad_alloc();
  }
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
  if (UnmapSpilled(p, size)) return;
  g_in_memory.fetch_sub(size, std::memory_order_relaxed);
  if (!Keep(static_cast<char*>(p), size)) ::munmap(p, size);
}

void LetGoOfPages(const void* begin, const void* end) {
  const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) / page * page;
  const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(end) / page * page;
  // A spilled block's pages stay in its file: the mapping only forgets them.
  if (from < to) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
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
