// Work on a stream in blocks: read in order, worked on all cores, taken in
// order.
//
// Reading a file, keying its records and writing or storing the keys each
// want a different resource: the calling thread reads and takes while the
// workers key, so the cores never wait for a read or a write, and memory
// holds a fixed number of blocks however long the stream is.
#ifndef KORVIX_DEDUPE_PIPELINE_H_
#define KORVIX_DEDUPE_PIPELINE_H_

#include <cstddef>
#include <functional>

namespace korvix::dedupe {

// Runs a stream of blocks through `slots` slots (numbered 0 to slots - 1,
// owned by the caller):
//   read(slot)  on the calling thread: fills the slot with the next block;
//               false at the end of the stream (the slot stays unused)
//   work(slot)  on one of `threads` worker threads (0: every usable
//               processor); blocks are worked on in any order, several at once
//   take(slot)  on the calling thread, block after block in the order read,
//               once its work is done; the slot is free again afterwards
// The calling thread reads ahead while slots are free and otherwise waits
// for the oldest block; when the system starts no thread at all, it works
// on each block itself. An exception from read or take stops the workers
// (blocks being worked on are finished) and is rethrown; one from work is
// rethrown in place of that block's take. REQUIRES: slots >= 1.
void RunPipeline(std::size_t slots, unsigned threads, const std::function<bool(std::size_t)>& read,
                 const std::function<void(std::size_t)>& work,
                 const std::function<void(std::size_t)>& take);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_PIPELINE_H_
