// Large arrays that do not fit a run's memory limit, kept in a file.
//
// While a SpillScope lives, the large arrays of the process (MapBig) stay
// in memory up to a share of the limit: half of it while the run expects
// to fit that half, a thirty-second once it may not. Beyond that they are
// mapped from a file without a name in the run's temporary folder, so that
// nothing of them outlives the process, however it ends. Their pages
// belong to the system's file cache, which may write them out; a watcher
// lets go of them whenever the process's memory has grown by nearly the
// limit since the scope began. The run then holds the limit, whatever the
// shape of its data, and reads back from the cache (or the disk) what it
// needs again. Few arrays stay outside the watcher's reach: it chooses
// better what to let go of than a fixed share in memory would.
#ifndef KORVIX_DEDUPE_SPILL_H_
#define KORVIX_DEDUPE_SPILL_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace korvix::dedupe {

class TempFolder;

class SpillScope {
 public:
  // Spills into `folder` (which must outlive the scope) what does not fit
  // `limit` bytes. One scope at a time: a second one, of a run on another
  // thread, leaves the first one in force, whose file then takes the large
  // arrays of both runs beyond its limit.
  SpillScope(std::uint64_t limit, TempFolder& folder);
  ~SpillScope();
  SpillScope(const SpillScope&) = delete;
  SpillScope& operator=(const SpillScope&) = delete;

  // The run expects to hold `bytes` more (saturating; the most there is
  // for an input of unknown size). A run well within its limit thus spills
  // nothing (it parks what is seldom read), and one that may not keeps the
  // watcher's reach.
  void Expect(std::uint64_t bytes);

  // The bytes mapped from the file so far, and how often the watcher
  // dropped them from memory: what --verbose tells.
  std::uint64_t spilled() const;
  std::uint64_t drops() const;
  // The most memory the process has held, for the same.
  static std::uint64_t Peak();

  struct Watcher;  // what a scope in force keeps, for MapSpilled

 private:
  std::unique_ptr<Watcher> watcher_;  // null when another scope is in force
};

// Bytes that a run reads seldom, moved out of its memory into the spill
// file of the scope in force: read from the file's cache (or the disk)
// where touched, and let go of again by Cool. Keys, say, are read all
// together to be sorted and then only here and there: parked, they cost
// the run's memory only while they are read.
class ParkedBytes {
 public:
  ParkedBytes() = default;
  // A copy of `bytes` in the spill file, or an empty object (false) where no
  // scope is in force or the file cannot take them: they stay where they are.
  static ParkedBytes Park(const char* bytes, std::size_t size);
  ~ParkedBytes();
  ParkedBytes(ParkedBytes&& other) noexcept;
  ParkedBytes& operator=(ParkedBytes&& other) noexcept;

  explicit operator bool() const { return data_ != nullptr; }
  const char* data() const { return data_; }
  // The pages read so far leave the process's memory; they stay in the file.
  void Cool() const;

 private:
  char* data_ = nullptr;
  std::size_t mapped_ = 0;
};

// For MapBig: `size` bytes (a multiple of 2 MB) from the spill file when a
// scope is in force and `in_memory` bytes of large arrays are in memory
// already, so that `size` more would pass its share; else null.
// Throws IoError when the file cannot grow (a full disk).
void* MapSpilled(std::size_t size, std::uint64_t in_memory);
// For UnmapBig: gives back a block MapSpilled returned and frees its place
// in the file; false for any other block.
bool UnmapSpilled(void* p, std::size_t size);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_SPILL_H_
