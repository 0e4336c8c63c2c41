#include "dedupe/core/pipeline.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/parallel.h"

namespace korvix::dedupe {

void RunPipeline(std::size_t slots, unsigned threads, const std::function<bool(std::size_t)>& read,
                 const std::function<void(std::size_t)>& work,
                 const std::function<void(std::size_t)>& take) {
  if (threads == 0) threads = base::UsableProcessors();
  // Blocks are numbered as read; block b lives in slot b % slots. Only the
  // calling thread changes `read_blocks`, only workers `started`.
  std::mutex mutex;
  std::condition_variable has_work, has_done;
  std::size_t read_blocks = 0, started = 0;
  bool stop = false;
  std::vector<char> done(slots, 0);
  std::vector<std::exception_ptr> failed(slots);

  const auto worker = [&] {
    std::unique_lock lock(mutex);
    for (;;) {
      has_work.wait(lock, [&] { return stop || started < read_blocks; });
      if (stop) return;
      const std::size_t slot = started++ % slots;
      lock.unlock();
      try {
        work(slot);
      } catch (...) {
        failed[slot] = std::current_exception();
      }
      lock.lock();
      done[slot] = 1;
      has_done.notify_one();
    }
  };
  std::vector<std::jthread> pool;
  const auto finish = [&] {
    {
      const std::lock_guard lock(mutex);
      stop = true;
    }
    has_work.notify_all();
    pool.clear();  // joins
  };
  pool.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) {
    try {
      pool.emplace_back(worker);
    } catch (const std::system_error&) {
      break;  // the system starts no more threads: those there are do the work
    }
  }
  if (pool.empty()) {
    // Not one: the calling thread works on each block itself.
    for (std::size_t slot = 0; read(slot);) {
      work(slot);
      take(slot);
    }
    return;
  }

  try {
    bool end = false;
    for (std::size_t taken = 0;; ++taken) {
      while (!end && read_blocks - taken < slots) {
        const std::size_t slot = read_blocks % slots;
        if (!read(slot)) {
          end = true;
          break;
        }
        {
          const std::lock_guard lock(mutex);
          done[slot] = 0;
          failed[slot] = nullptr;
          ++read_blocks;
        }
        has_work.notify_one();
      }
      if (taken == read_blocks) break;
      const std::size_t slot = taken % slots;
      {
        std::unique_lock lock(mutex);
        has_done.wait(lock, [&] { return done[slot] != 0; });
      }
      if (failed[slot]) std::rethrow_exception(failed[slot]);
      take(slot);
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

}  // namespace korvix::dedupe
