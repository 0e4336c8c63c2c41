#include "dedupe/keying.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cli.h"

namespace korvix::cli {

namespace {

// The batches between the reading thread and the keying threads.
class KeyingPool {
 public:
  KeyingPool(const RecordSource& source, const KeyBuilder& builder, unsigned threads)
      : source_(source), builder_(builder) {
    for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
  }

  ~KeyingPool() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  // A batch to fill: a used one when there is one, so buffers are reused.
  std::unique_ptr<RecordBatch> Empty() {
    std::lock_guard lock(mutex_);
    if (free_.empty()) return std::make_unique<RecordBatch>();
    std::unique_ptr<RecordBatch> b = std::move(free_.back());
    free_.pop_back();
    return b;
  }

  void Submit(std::unique_ptr<RecordBatch> batch) {
    {
      std::lock_guard lock(mutex_);
      todo_.push_back({submitted_++, std::move(batch)});
    }
    work_ready_.notify_one();
  }

  // Moves the keyed batches that are next in input order into `table`.
  // With `wait`, first waits until fewer than `max_pending` batches are
  // submitted but not yet taken.
  void Take(KeyTable* table, std::size_t max_pending) {
    std::unique_lock lock(mutex_);
    done_ready_.wait(lock, [&] {
      return error_ || submitted_ - taken_ < max_pending || done_.count(taken_) > 0;
    });
    if (error_) std::rethrow_exception(error_);
    for (auto it = done_.find(taken_); it != done_.end(); it = done_.find(taken_)) {
      KeyTable keys = std::move(it->second);
      done_.erase(it);
      ++taken_;
      lock.unlock();
      if (table->size() + keys.size() > KeyTable::kMaxRecords) {
        throw IoError("the input holds more than " + std::to_string(KeyTable::kMaxRecords) +
                      " records");
      }
      table->Append(keys);
      keys.Clear();  // its memory kept for another batch
      lock.lock();
      free_tables_.push_back(std::move(keys));
    }
  }

  bool all_taken() {
    std::lock_guard lock(mutex_);
    return taken_ == submitted_;
  }

 private:
  struct Job {
    std::uint64_t number;
    std::unique_ptr<RecordBatch> batch;
  };

  void Work() {
    std::string key;
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        work_ready_.wait(lock, [&] { return closing_ || !todo_.empty(); });
        if (todo_.empty()) return;
        job = std::move(todo_.front());
        todo_.pop_front();
      }
      try {
        RecordBatch& batch = *job.batch;
        source_.Split(&batch);
        KeyTable keys = FreeTable();
        for (std::size_t i = 0; i < batch.records.size(); ++i) {
          builder_.Key(batch.record(i), &key);
          keys.Add(key, batch.records[i].place);
        }
        batch.Clear();
        std::lock_guard lock(mutex_);
        done_.emplace(job.number, std::move(keys));
        free_.push_back(std::move(job.batch));
      } catch (...) {
        std::lock_guard lock(mutex_);
        if (!error_) error_ = std::current_exception();
      }
      done_ready_.notify_all();
    }
  }

  KeyTable FreeTable() {
    std::lock_guard lock(mutex_);
    if (free_tables_.empty()) return KeyTable();
    KeyTable t = std::move(free_tables_.back());
    free_tables_.pop_back();
    return t;
  }

  const RecordSource& source_;
  const KeyBuilder& builder_;
  std::mutex mutex_;
  std::condition_variable work_ready_, done_ready_;
  std::deque<Job> todo_;
  std::map<std::uint64_t, KeyTable> done_;
  std::vector<std::unique_ptr<RecordBatch>> free_;
  std::vector<KeyTable> free_tables_;
  std::uint64_t submitted_ = 0, taken_ = 0;
  bool closing_ = false;
  std::exception_ptr error_;
  std::vector<std::thread> workers_;  // last: they start once the rest exists
};

}  // namespace

KeyTable KeyRecords(RecordSource& source, const KeyBuilder& builder, unsigned threads,
                    Progress* progress, std::optional<std::uint64_t> input_size) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  // Enough batches in flight to keep every thread busy while one is read.
  const std::size_t max_pending = 2 * threads + 1;
  KeyTable table;
  KeyingPool pool(source, builder, threads);
  bool reserved = false;
  for (;;) {
    std::unique_ptr<RecordBatch> batch = pool.Empty();
    if (!source.Read(batch.get())) break;
    pool.Submit(std::move(batch));
    pool.Take(&table, max_pending);
    if (!reserved && input_size && table.size() > 0) {
      // Sized once from the first batches, so that the table's arrays do
      // not double (and briefly hold twice their size) again and again.
      const RecordPlace last = table.place(table.size() - 1);
      const double per_byte = static_cast<double>(table.size()) /
                              static_cast<double>(std::max<std::uint64_t>(1, last.offset + last.length));
      const auto records = static_cast<std::size_t>(per_byte * static_cast<double>(*input_size) * 1.05) + 1024;
      const std::size_t key_bytes = table.size() == 0 ? 0 : table.key(0).size() + 2;
      table.Reserve(records, records * key_bytes);
      reserved = true;
    }
    if (progress != nullptr) progress->Update(source.bytes_read(), table.size());
  }
  while (!pool.all_taken()) pool.Take(&table, 1);
  if (progress != nullptr) progress->Update(source.bytes_read(), table.size());
  return table;
}

}  // namespace korvix::cli
