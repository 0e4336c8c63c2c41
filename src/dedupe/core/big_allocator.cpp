#include "dedupe/core/big_allocator.h"

#include <sys/mman.h>

#include <cstdint>

namespace korvix::dedupe {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* MapBig(std::size_t bytes) {
  const std::size_t size = RoundUp(bytes);
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

void UnmapBig(void* p, std::size_t bytes) { ::munmap(p, RoundUp(bytes)); }

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
