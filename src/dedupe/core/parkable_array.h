// An array that a run fills once and then reads seldom: keys, their ends,
// the places of the records.
#ifndef KORVIX_DEDUPE_PARKABLE_ARRAY_H_
#define KORVIX_DEDUPE_PARKABLE_ARRAY_H_

#include <cstddef>
#include <type_traits>
#include <utility>

#include "dedupe/core/big_allocator.h"
#include "dedupe/core/spill.h"

namespace korvix::dedupe {

// A BigVector that Park moves into the run's spill file (ParkedBytes) once
// it is full: it reads as before, from the file's cache, and costs memory
// only while it is read, until Cool lets go of the pages again.
template <class T>
class ParkableArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  // Filling; REQUIRES: not parked.
  void push_back(const T& value) { items_.push_back(value); }
  template <class It>
  void append(It first, It last) {
    items_.insert(items_.end(), first, last);
  }
  void reserve(std::size_t n) { items_.reserve(n); }
  void clear() {
    items_.clear();
    parked_ = ParkedBytes();
    parked_size_ = 0;
  }

  const T* data() const { return parked_ ? reinterpret_cast<const T*>(parked_.data()) : items_.data(); }
  const T& operator[](std::size_t i) const { return data()[i]; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size(); }
  std::size_t size() const { return parked_ ? parked_size_ : items_.size(); }
  bool empty() const { return size() == 0; }
  // Elements held in memory.
  std::size_t capacity() const { return items_.capacity(); }

  // Into the spill file, where there is one and the array is large (a small
  // one costs less memory than the file's pages would); else it stays.
  void Park() {
    if (parked_ || items_.size() * sizeof(T) < kBigAllocation) return;
    if (ParkedBytes parked =
            ParkedBytes::Park(reinterpret_cast<const char*>(items_.data()), items_.size() * sizeof(T))) {
      parked_ = std::move(parked);
      parked_size_ = items_.size();
      BigVector<T>().swap(items_);
    }
  }
  // The parked pages read so far leave memory; they stay in the file.
  void Cool() const { parked_.Cool(); }
  // Elements [first, last) are read no more (see dedupe::LetGo); REQUIRES: not parked.
  void LetGo(std::size_t first, std::size_t last) const { dedupe::LetGo(items_, first, last); }

 private:
  BigVector<T> items_;
  ParkedBytes parked_;  // the elements instead of items_, once parked
  std::size_t parked_size_ = 0;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_PARKABLE_ARRAY_H_
