// Work spread over the processors: how many this process may use, and
// fork/join loops over parts and index ranges.
#ifndef KORVIX_BASE_PARALLEL_H_
#define KORVIX_BASE_PARALLEL_H_

#include <algorithm>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace korvix::base {

// The processors this process may run on (its CPU affinity, so a container
// or `taskset` limit counts), at least 1.
unsigned UsableProcessors() noexcept;

// Calls fn(part) for every part in [0, parts), each on a thread of its own
// (the calling thread runs part 0), and returns when every call has
// returned. For work split by the caller: per-thread counts, then a pass
// that uses them. Parts must not wait for one another: when the system
// starts no more threads, the calling thread runs the rest of them itself.
// `fn` must not throw.
template <class Fn>
void ParallelParts(std::size_t parts, Fn&& fn) {
  std::vector<std::jthread> pool;
  if (parts > 1) pool.reserve(parts - 1);
  for (std::size_t part = 1; part < parts; ++part) {
    try {
      pool.emplace_back([&fn, part] { fn(part); });
    } catch (const std::system_error&) {
      fn(part);
    }
  }
  if (parts > 0) fn(std::size_t{0});
}

// How many parts of at least `min_per_part` indexes [0, n) makes for
// `threads` threads (0: UsableProcessors()); at least 1.
inline std::size_t PartsFor(std::size_t n, unsigned threads, std::size_t min_per_part) {
  if (threads == 0) threads = UsableProcessors();
  const std::size_t most = std::max<std::size_t>(1, n / std::max<std::size_t>(1, min_per_part));
  return std::min<std::size_t>(threads, most);
}

// Calls fn(begin, end) on disjoint ranges that together cover [0, n), on at
// most `threads` threads (0: UsableProcessors()), the calling thread one of
// them, and returns when every call has returned. Ranges hold at least
// `min_per_thread` indexes, so small inputs stay on the calling thread where
// starting a thread would cost more than it saves. `fn` must not throw.
template <class Fn>
void ParallelFor(std::size_t n, unsigned threads, std::size_t min_per_thread, Fn&& fn) {
  if (n == 0) return;
  const std::size_t parts = PartsFor(n, threads, min_per_thread);
  ParallelParts(parts, [&](std::size_t part) { fn(n * part / parts, n * (part + 1) / parts); });
}

}  // namespace korvix::base

#endif  // KORVIX_BASE_PARALLEL_H_
