// Work spread over the processors: how many this process may use, and a
// fork/join loop over index ranges.
#ifndef KORVIX_BASE_PARALLEL_H_
#define KORVIX_BASE_PARALLEL_H_

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace korvix::base {

// The processors this process may run on (its CPU affinity, so a container
// or `taskset` limit counts), at least 1.
unsigned UsableProcessors() noexcept;

// Calls fn(begin, end) on disjoint ranges that together cover [0, n), on at
// most `threads` threads (0: UsableProcessors()), the calling thread one of
// them, and returns when every call has returned. Ranges hold at least
// `min_per_thread` indexes, so small inputs stay on the calling thread where
// starting a thread would cost more than it saves. `fn` must not throw.
template <class Fn>
void ParallelFor(std::size_t n, unsigned threads, std::size_t min_per_thread, Fn&& fn) {
  if (n == 0) return;
  if (threads == 0) threads = UsableProcessors();
  const std::size_t most = std::max<std::size_t>(1, n / std::max<std::size_t>(1, min_per_thread));
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, most));
  if (threads <= 1) {
    fn(std::size_t{0}, n);
    return;
  }
  const std::size_t chunk = (n + threads - 1) / threads;
  std::vector<std::jthread> pool;
  pool.reserve(threads - 1);
  for (std::size_t begin = chunk; begin < n; begin += chunk) {
    pool.emplace_back([&fn, begin, end = std::min(n, begin + chunk)] { fn(begin, end); });
  }
  fn(std::size_t{0}, std::min(n, chunk));
}

}  // namespace korvix::base

#endif  // KORVIX_BASE_PARALLEL_H_
