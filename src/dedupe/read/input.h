// The input file of a dedupe run, readable twice.
//
// A run reads its input once to key the records and then reads some records
// again to print them. A file is simply read twice. Standard input from a
// pipe cannot be read twice, so it is spilled: a thread copies it to an
// unlinked temporary file while the run reads it through a socket, and the
// records are read again from that file. Nothing of the input is held in
// memory either way.
#ifndef KORVIX_DEDUPE_INPUT_H_
#define KORVIX_DEDUPE_INPUT_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace korvix::dedupe {

class Input {
 public:
  // Opens `path`; "-" is standard input, spilled to a file in
  // `temp_folder`. Throws IoError.
  Input(const std::string& path, const std::string& temp_folder);
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  // Read this from start to end, once.
  int stream_fd() const { return stream_fd_; }

  // Read records again from this with pread, after EndOfStream().
  int reread_fd() const { return reread_fd_; }

  // The size in bytes when it is known before reading (a regular file).
  std::optional<std::uint64_t> size() const { return size_; }

  // For messages: the path, or "standard input".
  const std::string& name() const { return name_; }

  // Call after reading stream_fd() to its end: waits until the spill file
  // holds everything. Throws IoError when it could not be written.
  void EndOfStream();

 private:
  std::string name_;
  int own_fd_ = -1;     // the file opened for `path`, if any
  int stream_fd_ = -1;
  int reread_fd_ = -1;
  int socket_fd_ = -1;  // our end of the spill socket
  int spill_fd_ = -1;   // the temporary file
  std::optional<std::uint64_t> size_;
  std::thread spill_;
  // Written by the spill thread, read after joining it.
  std::shared_ptr<std::string> spill_error_ = std::make_shared<std::string>();
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_INPUT_H_
