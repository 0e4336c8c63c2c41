#include "dedupe/core/batch_file.h"

#include "dedupe/core/temp_files.h"

namespace korvix::dedupe {

BatchFile::BatchFile(std::size_t batches, TempFolder& folder)
    : file_(folder.Create()), pieces_(batches), sizes_(batches, 0) {}

BatchFile::~BatchFile() = default;

void BatchFile::Append(std::size_t batch, std::string_view bytes) {
  if (bytes.empty()) return;
  std::vector<Piece>& pieces = pieces_[batch];
  const std::uint64_t at = file_->size();
  // Consecutive appends to one batch read back as one piece.
  if (!pieces.empty() && pieces.back().at + pieces.back().size == at) {
    pieces.back().size += bytes.size();
  } else {
    pieces.push_back({at, bytes.size()});
  }
  file_->Write(bytes);
  sizes_[batch] += bytes.size();
}

void BatchFile::Read(std::size_t batch, char* out) {
  if (!flushed_) {
    file_->Flush();
    flushed_ = true;
  }
  for (const Piece& piece : pieces_[batch]) {
    file_->Read(piece.at, piece.size, out);
    out += piece.size;
  }
  std::vector<Piece>().swap(pieces_[batch]);  // read once
}

}  // namespace korvix::dedupe
