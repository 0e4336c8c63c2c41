#include "dedupe/big_allocator.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace korvix::dedupe {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

// Blocks freed and kept for reuse, at most kMostKept bytes.
constexpr std::size_t kMostKept = std::size_t{1} << 30;
std::mutex kept_mutex;
std::vector<std::pair<void*, std::size_t>> kept;
std::size_t kept_bytes = 0;

// The smallest kept block of at least `size` bytes, its rest given back.
// When none is that large, every kept block is given back, so that keeping
// blocks never makes the process larger than mapping anew would.
void* TakeKept(std::size_t size) {
  const std::lock_guard lock(kept_mutex);
  auto best = kept.end();
  for (auto k = kept.begin(); k != kept.end(); ++k) {
    if (k->second >= size && (best == kept.end() || k->second < best->second)) best = k;
  }
  if (best == kept.end()) {
    for (const auto& [p, kept_size] : kept) ::munmap(p, kept_size);
    kept.clear();
    kept_bytes = 0;
    return nullptr;
  }
  const auto [p, kept_size] = *best;
  kept.erase(best);
  kept_bytes -= kept_size;
  if (kept_size > size) ::munmap(static_cast<char*>(p) + size, kept_size - size);
  return p;
}

}  // namespace

void* MapBig(std::size_t bytes) {
  const std::size_t size = RoundUp(bytes);
  if (void* p = TakeKept(size)) return p;
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
  {
    const std::lock_guard lock(kept_mutex);
    if (kept_bytes + size <= kMostKept) {
      kept.emplace_back(p, size);
      kept_bytes += size;
      return;
    }
  }
  ::munmap(p, size);
}

void ReleaseKeptMemory() {
  const std::lock_guard lock(kept_mutex);
  for (const auto& [p, size] : kept) ::munmap(p, size);
  kept.clear();
  kept_bytes = 0;
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
