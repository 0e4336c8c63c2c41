// Items too many for memory, kept in a temporary file by batch until each
// batch is read back whole, in turn.
//
// One pass lays out what many batches need, where a pass per batch would
// make everything again for each: the candidate pairs of a run beyond its
// memory limit are made once and scored batch by batch.
#ifndef KORVIX_DEDUPE_BATCH_FILE_H_
#define KORVIX_DEDUPE_BATCH_FILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace korvix::dedupe {

class TempFile;
class TempFolder;

class BatchFile {
 public:
  // `batches` batches in a new file of `folder` (which must outlive this).
  // Throws IoError as TempFolder::Create.
  BatchFile(std::size_t batches, TempFolder& folder);
  ~BatchFile();
  BatchFile(const BatchFile&) = delete;
  BatchFile& operator=(const BatchFile&) = delete;

  // Appends `bytes` to batch `batch`; one thread at a time (the caller
  // guards it). Throws IoError on a full disk.
  void Append(std::size_t batch, std::string_view bytes);

  // The bytes of batch `batch`, what was appended to it in that order. Each
  // batch is read once, and nothing is appended after the first Read.
  std::uint64_t size(std::size_t batch) const { return sizes_[batch]; }
  void Read(std::size_t batch, char* out);

 private:
  struct Piece {
    std::uint64_t at;
    std::size_t size;
  };
  std::unique_ptr<TempFile> file_;
  std::vector<std::vector<Piece>> pieces_;  // of each batch
  std::vector<std::uint64_t> sizes_;
  bool flushed_ = false;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_BATCH_FILE_H_
