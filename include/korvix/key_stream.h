// Keying a stream of record strings, such as a file, on all cores.
//
//   korvix::KeyBuilder builder(code);
//   korvix::KeyStream(builder, {fd, "kunden.txt"}, {STDOUT_FILENO, "standard output"});
#ifndef KORVIX_KEY_STREAM_H_
#define KORVIX_KEY_STREAM_H_

#include <string>

#include "korvix/error.h"
#include "korvix/export.h"
#include "korvix/key_builder.h"

namespace korvix {

// An open file descriptor, which stays its owner's, and its name for
// messages ("kunden.txt", "standard input").
struct StreamEnd {
  int fd = -1;
  std::string name;
};

// Reads record strings, one per line, from `in` to its end and writes the key
// of each under `builder` to `out`, one per line ending in LF, in input order.
// Every line is a record, an empty one too; a line ends at LF, a CR before
// it is dropped, and the last line needs no line end. The input is read in
// blocks of a megabyte that `threads` threads (0: every processor this
// process may use) key while the next blocks are read and the keys of the
// last are written, so memory holds a few blocks (and the longest line)
// whatever the input's size. Throws Error (kIo, "cannot read
// NAME: REASON" or "cannot write NAME: REASON"); keys written stay written.
KORVIX_EXPORT void KeyStream(const KeyBuilder& builder, const StreamEnd& in, const StreamEnd& out,
                             unsigned threads = 0);

}  // namespace korvix

#endif  // KORVIX_KEY_STREAM_H_
