// An allocator for the large arrays of a dedupe run.
//
// Ten million records make arrays of tens of megabytes. Touching fresh
// memory costs a page fault per 4 KB page, and on virtual machines a fault
// is dear; large arrays are therefore mapped on their own and offered to the
// kernel as transparent huge pages (a fault per 2 MB). Small ones come from
// the ordinary heap. Beyond a run's memory limit, large arrays go to a file
// (spill.h).
#ifndef KORVIX_DEDUPE_BIG_ALLOCATOR_H_
#define KORVIX_DEDUPE_BIG_ALLOCATOR_H_

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace korvix::dedupe {

// Memory of at least `bytes` (a multiple of 2 MB, aligned to it), mapped
// for this use alone; from a spill file beyond a SpillScope's share (see
// spill.h). Throws std::bad_alloc, and IoError when the spill file cannot
// grow.
void* MapBig(std::size_t bytes);
// Gives the block back; a few small ones are kept for the next MapBig of
// about their size, until ReleaseCachedBlocks.
void UnmapBig(void* p, std::size_t bytes);
// Unmaps the blocks kept: called when a run ends, so that a host keeps no
// memory of it.
void ReleaseCachedBlocks();

// Allocations of at least this many bytes are mapped with MapBig.
inline constexpr std::size_t kBigAllocation = std::size_t{2} << 20;

// Gives the pages wholly within [begin, end) of a block from MapBig back to
// the system; what they held is lost.
void LetGoOfPages(const void* begin, const void* end);

template <class T>
struct BigAllocator {
  using value_type = T;

  BigAllocator() = default;
  template <class U>
  BigAllocator(const BigAllocator<U>&) {}  // NOLINT: rebinding is implicit

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    if (n * sizeof(T) < kBigAllocation) return std::allocator<T>().allocate(n);
    return static_cast<T*>(MapBig(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) {
    if (n * sizeof(T) < kBigAllocation) {
      std::allocator<T>().deallocate(p, n);
    } else {
      UnmapBig(p, n * sizeof(T));
    }
  }

  template <class U>
  bool operator==(const BigAllocator<U>&) const { return true; }
};

template <class T>
using BigVector = std::vector<T, BigAllocator<T>>;

// Lets go of elements [begin, end) of `v` (see LetGoOfPages) when it is
// mapped: a large array read once gives its memory back as it is read. A
// small one, from the heap, keeps it until it is freed.
template <class T>
void LetGo(const BigVector<T>& v, std::size_t begin, std::size_t end) {
  if (v.capacity() * sizeof(T) >= kBigAllocation) LetGoOfPages(v.data() + begin, v.data() + end);
}

// An array of `size` elements that are left uninitialised, for arrays that
// are filled at once anyway: a zero fill would touch every page twice, and
// from one thread. REQUIRES: T is trivially copyable.
template <class T>
class BigArray {
 public:
  explicit BigArray(std::size_t size) : data_(BigAllocator<T>().allocate(size)), size_(size) {}
  ~BigArray() { BigAllocator<T>().deallocate(data_, size_); }
  BigArray(const BigArray&) = delete;
  BigArray& operator=(const BigArray&) = delete;

  std::size_t size() const { return size_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }

 private:
  T* data_;
  std::size_t size_;
};

// Bytes that are written before they are read, so never zero-filled: a
// buffer for input read again. Grows, never shrinks.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ~ByteBuffer() { Free(); }
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Makes room for `size` bytes; the contents are lost when it grows.
  char* Reserve(std::size_t size);
  char* data() { return data_; }
  const char* data() const { return data_; }

 private:
  void Free();
  char* data_ = nullptr;
  std::size_t capacity_ = 0;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_BIG_ALLOCATOR_H_
