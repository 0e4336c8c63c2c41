#include "dedupe/clean/clean_file.h"

#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/csv.h"
#include "dedupe/core/error.h"

namespace korvix::dedupe {

namespace {

// Reads the input front to back in large blocks.
class Copier {
 public:
  Copier(int fd, std::string_view name, ReportFile* out) : fd_(fd), name_(name), out_(out) {}

  // Copies the bytes from where it stands up to `end`.
  void CopyTo(std::uint64_t end) {
    while (at_ < end) {
      const std::size_t n = Read(at_, static_cast<std::size_t>(std::min<std::uint64_t>(end - at_, kBlock)));
      if (n == 0) throw IoError("cannot read " + std::string(name_) + " again: it has become shorter");
      out_->Write(std::string_view(buf_.data(), n));
      at_ += n;
    }
  }
  // Copies to the end of the input.
  void CopyRest() {
    while (const std::size_t n = Read(at_, kBlock)) {
      out_->Write(std::string_view(buf_.data(), n));
      at_ += n;
    }
  }
  // Steps over `n` bytes, and the line end after them.
  void Skip(std::uint64_t n, bool line_end) {
    at_ += n;
    if (!line_end) return;
    const std::size_t got = Read(at_, 2);
    if (got >= 1 && buf_[0] == '\n') {
      at_ += 1;
    } else if (got == 2 && buf_[0] == '\r' && buf_[1] == '\n') {
      at_ += 2;
    }
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 20;
  std::size_t Read(std::uint64_t offset, std::size_t size) {
    buf_.resize(std::max(buf_.size(), size));
    while (true) {
      const ssize_t n = ::pread(fd_, buf_.data(), size, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw IoError("cannot read " + std::string(name_) + " again: " + std::strerror(errno));
      return static_cast<std::size_t>(n);
    }
  }

  int fd_;
  std::string_view name_;
  ReportFile* out_;
  std::vector<char> buf_;
  std::uint64_t at_ = 0;
};

}  // namespace

void WriteCleanCopy(int fd, std::string_view name, const KeyTable& table, const Survivors& survivors,
                    ReportFile* out) {
  Copier copier(fd, name, out);
  std::size_t next_filled = 0;
  for (std::uint32_t r = 0; r < table.size(); ++r) {
    const bool filled = next_filled < survivors.filled.size() && survivors.filled[next_filled] == r;
    if (!filled && !survivors.Merged(r)) continue;
    const RecordPlace place = table.place(r);
    copier.CopyTo(place.offset);
    if (filled) {
      out->Write(survivors.filled_bytes[next_filled++]);
      copier.Skip(place.length, false);
    } else {
      copier.Skip(place.length, true);
    }
  }
  copier.CopyRest();
}

void WriteCleanRecords(std::span<const std::string_view> records, const Survivors& survivors,
                       ReportFile* out) {
  std::size_t next_filled = 0;
  for (std::uint32_t r = 0; r < records.size(); ++r) {
    if (next_filled < survivors.filled.size() && survivors.filled[next_filled] == r) {
      out->Line(survivors.filled_bytes[next_filled++]);
    } else if (!survivors.Merged(r)) {
      out->Line(records[r]);
    }
  }
}

void WriteMapping(const Survivors& survivors, std::span<const std::uint32_t> groups,
                  const MappingFormat& format, ReportFile* out) {
  const char d = format.delimiter;
  const std::string_view end = format.crlf ? "\r\n" : "\n";
  std::string row;
  const auto cell = [&](std::string_view text) {
    if (!row.empty()) row.push_back(d);
    base::AppendCsvField(text, d, &row);
  };
  cell("record");
  if (format.ids) cell("id");
  cell("survivor_record");
  if (format.ids) cell("survivor_id");
  cell("group");
  out->Write(row);
  out->Write(end);
  for (std::uint32_t r = 0; r < survivors.of.size(); ++r) {
    if (!survivors.Merged(r)) continue;
    row.clear();
    const std::uint32_t s = survivors.of[r];
    cell(std::to_string(r + std::uint64_t{1}));
    if (format.ids) cell(format.ids(r));
    cell(std::to_string(s + std::uint64_t{1}));
    if (format.ids) cell(format.ids(s));
    cell(std::to_string(groups[r]));
    out->Write(row);
    out->Write(end);
  }
}

}  // namespace korvix::dedupe
