#include "dedupe/core/spill.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "dedupe/core/error.h"
#include "dedupe/core/temp_files.h"

namespace korvix::dedupe {

namespace {

// The spill file, closed when the last block mapped from it is given back:
// arrays may outlive the run that made them (a host keeps its result).
struct File {
  explicit File(int descriptor) : fd(descriptor) {}
  ~File() { ::close(fd); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  int fd;
  off_t end = 0;  // places are not used twice: the file is sparse
};

struct Block {
  std::size_t size = 0;
  off_t at = 0;
  std::shared_ptr<File> file;
};

struct State {
  std::mutex mutex;
  SpillScope::Watcher* scope = nullptr;  // the scope in force
  std::map<char*, Block> blocks;         // mapped from a file, by address
  std::atomic<std::size_t> count{0};     // blocks.size(), read without the lock
  std::atomic<std::uint64_t> bytes{0};   // their sizes together
};

State& TheState() {
  static State* state = new State;  // never destroyed: arrays may outlive statics
  return *state;
}

// The number after `field` in /proc/self/`file` ("" for the first), 0
// where it cannot be read.
std::uint64_t ProcNumber(const char* file, const char* field) {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/self/%s", file);
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[4096];
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 0) return 0;
  text[n] = '\0';
  const char* at = std::strstr(text, field);
  if (at == nullptr) return 0;
  at += std::strlen(field);
  while (*at == ' ' || *at == '\t') ++at;
  return std::strtoull(at, nullptr, 10);
}

// The process's resident memory in bytes.
std::uint64_t Resident() {
  // statm: the size of the address space, then the pages resident.
  const std::uint64_t pages = ProcNumber("statm", " ");
  return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace

struct SpillScope::Watcher {
  Watcher(std::uint64_t bytes, TempFolder& where) : limit(bytes), folder(where), start(Resident()) {}

  // Lets go of spilled pages whenever the process holds more than seven
  // eighths of the limit beyond its start, until it holds three quarters.
  // A run reading back what is cached maps pages fast (a fault maps
  // sixteen), so the watcher looks every two milliseconds, and the room
  // above is for what it does not see.
  void Watch() {
    std::unique_lock lock(mutex);
    while (!stop) {
      wakeup.wait_for(lock, std::chrono::milliseconds(2));
      if (stop) break;
      if (Resident() > start + limit - limit / 8) LetGoUntil(start + limit - limit / 4);
    }
  }

  // Lets go of pages in the order of the file until the process holds
  // `target`, at most once round the file: what else the run holds is not
  // ours to let go of. Small arrays last: they cost little to hold, and an
  // array walked at random (the groups' links) is small beside the profiles
  // and keys and touched as often.
  void LetGoUntil(std::uint64_t target) {
    const std::uint64_t step = std::max<std::uint64_t>(limit / 64 >> 21, 1) << 21;
    const std::uint64_t mapped = TheState().bytes.load(std::memory_order_relaxed);
    for (const std::size_t least : {static_cast<std::size_t>(limit / 16), std::size_t{0}}) {
      for (std::uint64_t done = 0; done < mapped && Resident() > target; done += step) {
        if (!LetGo(step, least)) break;
      }
    }
    drops.fetch_add(1, std::memory_order_relaxed);
  }

  // Lets go of `bytes` of spilled pages from the cursor on, of blocks of
  // `least` bytes or more; false when there are none.
  bool LetGo(std::uint64_t bytes, std::size_t least) {
    State& s = TheState();
    const std::lock_guard lock(s.mutex);
    std::uint64_t eligible = 0;
    for (const auto& [p, block] : s.blocks) eligible += block.size >= least ? block.size : 0;
    if (eligible == 0) return false;
    bytes = std::min(bytes, eligible);
    // The block that holds the cursor, else the next one.
    auto at = s.blocks.upper_bound(cursor);
    if (at != s.blocks.begin() && cursor < std::prev(at)->first + std::prev(at)->second.size) --at;
    while (bytes > 0) {
      if (at == s.blocks.end()) at = s.blocks.begin();
      if (at->second.size < least) {
        ++at;
        continue;
      }
      char* const begin = at->first;
      char* const end = begin + at->second.size;
      char* const from = cursor >= begin && cursor < end ? cursor : begin;
      const std::size_t n = std::min<std::size_t>(bytes, static_cast<std::size_t>(end - from));
      // The pages stay in the file's cache and come back on the next touch:
      // for a shared file mapping this only forgets where they are.
      ::madvise(from, n, MADV_DONTNEED);
      bytes -= n;
      cursor = from + n;
      if (cursor == end) ++at;
    }
    return true;
  }

  // The bytes of large arrays kept in memory before the file takes them.
  std::uint64_t Share() const {
    return expected.load(std::memory_order_relaxed) <= limit / 2 ? limit / 2 : limit / 32;
  }

  const std::uint64_t limit;
  TempFolder& folder;
  std::atomic<std::uint64_t> expected{0};
  const std::uint64_t start;
  std::shared_ptr<File> file;  // made with the first spilled block
  char* cursor = nullptr;      // where the watcher lets go next
  std::atomic<std::uint64_t> spilled{0};
  std::atomic<std::uint64_t> drops{0};
  std::mutex mutex;
  std::condition_variable wakeup;
  bool stop = false;
  std::thread thread;  // started with the first spilled block
};

SpillScope::SpillScope(std::uint64_t limit, TempFolder& folder) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  if (s.scope != nullptr) return;
  watcher_ = std::make_unique<Watcher>(limit, folder);
  s.scope = watcher_.get();
}

SpillScope::~SpillScope() {
  if (!watcher_) return;
  {
    State& s = TheState();
    const std::lock_guard lock(s.mutex);
    s.scope = nullptr;
  }
  if (watcher_->thread.joinable()) {
    {
      const std::lock_guard lock(watcher_->mutex);
      watcher_->stop = true;
    }
    watcher_->wakeup.notify_one();
    watcher_->thread.join();
  }
}

void SpillScope::Expect(std::uint64_t bytes) {
  if (!watcher_) return;
  const std::uint64_t before = watcher_->expected.load(std::memory_order_relaxed);
  watcher_->expected.store(before + std::min(bytes, ~before), std::memory_order_relaxed);
}

std::uint64_t SpillScope::Peak() { return ProcNumber("status", "VmHWM:") * 1024; }

std::uint64_t SpillScope::spilled() const { return watcher_ ? watcher_->spilled.load() : 0; }
std::uint64_t SpillScope::drops() const { return watcher_ ? watcher_->drops.load() : 0; }

void* MapSpilled(std::size_t size, std::uint64_t in_memory) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  SpillScope::Watcher* w = s.scope;
  if (w == nullptr || in_memory + size <= w->Share()) return nullptr;
  if (!w->file) {
    w->file = std::make_shared<File>(w->folder.CreateUnnamed());
    w->thread = std::thread([w] { w->Watch(); });
  }
  const off_t at = w->file->end;
  // Reserved on the disk now, so that a full disk is an error here and not
  // a fault (SIGBUS) when a page of it is first written.
  if (const int error = ::posix_fallocate(w->file->fd, at, static_cast<off_t>(size)); error != 0) {
    w->folder.Fail("cannot write the temporary file of the arrays beyond the memory limit in " + w->folder.path(),
                   error);
  }
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, w->file->fd, at);
  if (p == MAP_FAILED) {
    ::fallocate(w->file->fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, at, static_cast<off_t>(size));
    throw std::bad_alloc();
  }
  w->file->end = at + static_cast<off_t>(size);
  s.blocks.emplace(static_cast<char*>(p), Block{size, at, w->file});
  s.count.store(s.blocks.size(), std::memory_order_relaxed);
  s.bytes.fetch_add(size, std::memory_order_relaxed);
  w->spilled.fetch_add(size, std::memory_order_relaxed);
  return p;
}

ParkedBytes ParkedBytes::Park(const char* bytes, std::size_t size) {
  ParkedBytes parked;
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  SpillScope::Watcher* w = s.scope;
  if (w == nullptr || size == 0) return parked;
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t mapped = (size + page - 1) / page * page;
  try {
    if (!w->file) w->file = std::make_shared<File>(w->folder.CreateUnnamed());
  } catch (const Error&) {
    return parked;  // no temporary folder to be had: the bytes stay in memory
  }
  // In a folder held in memory they would save nothing.
  if (struct statfs fs; ::fstatfs(w->file->fd, &fs) != 0 || fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC) {
    return parked;
  }
  const off_t at = w->file->end;
  const auto give_back = [&] {
    ::fallocate(w->file->fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, at, static_cast<off_t>(mapped));
    return ParkedBytes();
  };
  // Reserved first, so that a full disk keeps the bytes in memory rather
  // than failing the run.
  if (::posix_fallocate(w->file->fd, at, static_cast<off_t>(mapped)) != 0) return give_back();
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::pwrite(w->file->fd, bytes + done, size - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return give_back();
    done += static_cast<std::size_t>(n);
  }
  void* p = ::mmap(nullptr, mapped, PROT_READ, MAP_SHARED, w->file->fd, at);
  if (p == MAP_FAILED) return give_back();
  w->file->end = at + static_cast<off_t>(mapped);
  // A block as any other of the file's: the watcher may let go of its pages.
  s.blocks.emplace(static_cast<char*>(p), Block{mapped, at, w->file});
  s.count.store(s.blocks.size(), std::memory_order_relaxed);
  s.bytes.fetch_add(mapped, std::memory_order_relaxed);
  parked.data_ = static_cast<char*>(p);
  parked.mapped_ = mapped;
  return parked;
}

ParkedBytes::~ParkedBytes() {
  if (data_ != nullptr) UnmapSpilled(data_, mapped_);
}

ParkedBytes::ParkedBytes(ParkedBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), mapped_(std::exchange(other.mapped_, 0)) {}

ParkedBytes& ParkedBytes::operator=(ParkedBytes&& other) noexcept {
  if (this != &other) {
    if (data_ != nullptr) UnmapSpilled(data_, mapped_);
    data_ = std::exchange(other.data_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

void ParkedBytes::Cool() const {
  if (data_ != nullptr) ::madvise(data_, mapped_, MADV_DONTNEED);
}

bool UnmapSpilled(void* p, std::size_t size) {
  State& s = TheState();
  if (s.count.load(std::memory_order_relaxed) == 0) return false;
  Block block;
  {
    const std::lock_guard lock(s.mutex);
    const auto at = s.blocks.find(static_cast<char*>(p));
    if (at == s.blocks.end()) return false;
    block = std::move(at->second);
    s.blocks.erase(at);
    s.count.store(s.blocks.size(), std::memory_order_relaxed);
    s.bytes.fetch_sub(size, std::memory_order_relaxed);
  }
  // Unlocked: dropping gigabytes of cached pages takes a while, and the
  // watcher must not wait for it while the run goes on. No longer a block,
  // the range is not the watcher's to touch.
  ::munmap(p, size);
  // Its pages, written or not, are of no use to anyone now.
  ::fallocate(block.file->fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, block.at, static_cast<off_t>(size));
  return true;
}

}  // namespace korvix::dedupe
