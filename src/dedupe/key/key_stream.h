// Keying a stream of record strings: the pipeline behind korvix::KeyStream.
#ifndef KORVIX_DEDUPE_KEY_STREAM_H_
#define KORVIX_DEDUPE_KEY_STREAM_H_

#include "dedupe/read/line_source.h"
#include "korvix/key_stream.h"

namespace korvix::dedupe {

// KeyStream over the blocks that `source` reads: the lines of each block
// are keyed on `threads` threads and written to `out` in order. Every line
// of the blocks is a record (LineSource's Split, which passes over empty
// lines, is not used).
void KeyLines(const KeyBuilder& builder, LineSource& source, const StreamEnd& out, unsigned threads);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_KEY_STREAM_H_
