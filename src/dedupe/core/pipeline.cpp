#include "dedupe/core/pipeline.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/parallel.h"

namespace korvix::dedupe {

namespace {

// Blocks are numbered as read; block b lives in slot b % slots. Only the
// calling thread changes `read_blocks_`, only workers `started_`.
class Pipeline {
 public:
  Pipeline(std::size_t slots, const std::function<void(std::size_t)>& work)
      : slots_(slots), work_(work), done_(slots, 0), failed_(slots) {}
  ~Pipeline() { Finish(); }

  // Starts up to `threads` workers; false when the system starts none.
  bool StartWorkers(unsigned threads) {
    pool_.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) {
      try {
        pool_.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        break;  // the system starts no more threads: those there are do the work
      }
    }
    return !pool_.empty();
  }

  // Reads blocks into the free slots; false once `read` says the input ended.
  bool Feed(std::size_t taken, const std::function<bool(std::size_t)>& read) {
    while (read_blocks_ - taken < slots_) {
      const std::size_t slot = read_blocks_ % slots_;
      if (!read(slot)) return false;
      {
        const std::lock_guard lock(mutex_);
        done_[slot] = 0;
        failed_[slot] = nullptr;
        ++read_blocks_;
      }
      has_work_.notify_one();
    }
    return true;
  }

  std::size_t read_blocks() const { return read_blocks_; }

  // Waits for the block in `slot`; rethrows what its work threw.
  void AwaitDone(std::size_t slot) {
    {
      std::unique_lock lock(mutex_);
      has_done_.wait(lock, [&] { return done_[slot] != 0; });
    }
    if (failed_[slot]) std::rethrow_exception(failed_[slot]);
  }

  void Finish() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    has_work_.notify_all();
    pool_.clear();  // joins
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      has_work_.wait(lock, [&] { return stop_ || started_ < read_blocks_; });
      if (stop_) return;
      const std::size_t slot = started_++ % slots_;
      lock.unlock();
      try {
        work_(slot);
      } catch (...) {
        failed_[slot] = std::current_exception();
      }
      lock.lock();
      done_[slot] = 1;
      has_done_.notify_one();
    }
  }

  const std::size_t slots_;
  const std::function<void(std::size_t)>& work_;
  std::mutex mutex_;
  std::condition_variable has_work_, has_done_;
  std::size_t read_blocks_ = 0, started_ = 0;
  bool stop_ = false;
  std::vector<char> done_;
  std::vector<std::exception_ptr> failed_;
  std::vector<std::jthread> pool_;  // last: joined before the rest goes
};

}  // namespace

void RunPipeline(std::size_t slots, unsigned threads, const std::function<bool(std::size_t)>& read,
                 const std::function<void(std::size_t)>& work,
                 const std::function<void(std::size_t)>& take) {
  Pipeline pipeline(slots, work);
  if (!pipeline.StartWorkers(threads == 0 ? base::UsableProcessors() : threads)) {
    // Not one: the calling thread works on each block itself.
    for (std::size_t slot = 0; read(slot);) {
      work(slot);
      take(slot);
    }
    return;
  }
  bool more = true;
  for (std::size_t taken = 0;; ++taken) {
    if (more) more = pipeline.Feed(taken, read);
    if (taken == pipeline.read_blocks()) break;
    const std::size_t slot = taken % slots;
    pipeline.AwaitDone(slot);
    take(slot);
  }
}

}  // namespace korvix::dedupe
