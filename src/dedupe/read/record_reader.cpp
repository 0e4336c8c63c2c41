#include "dedupe/read/record_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "dedupe/core/error.h"

namespace korvix::dedupe {

namespace {
// A gap between two records that is cheaper to read through than to skip
// with another system call.
constexpr std::uint64_t kGap = 32 << 10;
constexpr std::uint32_t kNotInPass = 0xFFFFFFFFu;
// Visits between two tellings of the progress.
constexpr std::size_t kTellEvery = std::size_t{1} << 16;
}  // namespace

RecordReader::RecordReader(const KeyTable& table, int fd, std::string name, std::size_t window)
    : table_(table), fd_(fd), name_(std::move(name)), window_(std::max<std::size_t>(window, 1)) {}

void RecordReader::ReadAt(std::uint64_t offset, std::size_t size) {
  char* const buf = buf_.Reserve(size);
  ++reads_;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd_, buf + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw IoError("cannot read " + name_ + " again: " + std::strerror(errno));
    if (n == 0) throw IoError("cannot read " + name_ + " again: it became shorter during the run");
    done += static_cast<std::size_t>(n);
  }
}

void RecordReader::ForEach(std::span<const std::uint32_t> records, const Visit& visit) {
  VisitAscending(records, visit, true);
}

void RecordReader::VisitAscending(std::span<const std::uint32_t> records, const Visit& visit, bool tell) {
  Visited v;
  for (std::size_t i = 0; i < records.size();) {
    const std::uint64_t begin = table_.place(records[i]).offset;
    std::uint64_t end = begin + table_.place(records[i]).length;
    std::size_t j = i + 1;
    for (; j < records.size(); ++j) {
      const RecordPlace p = table_.place(records[j]);
      if (p.offset + p.length - begin > window_ || p.offset > end + kGap) break;
      end = std::max<std::uint64_t>(end, p.offset + p.length);
    }
    ReadAt(begin, static_cast<std::size_t>(end - begin));
    for (; i < j; ++i) {
      const RecordPlace p = table_.place(records[i]);
      v.position = i;
      v.record = records[i];
      v.line = p.line;
      v.key = Key(records[i]);
      v.bytes = std::string_view(buf_.data() + (p.offset - begin), p.length);
      visit(v);
    }
    if (tell && told_) told_(i, records.size());
  }
}

void RecordReader::ForEachInOrder(std::span<const std::uint32_t> order, std::size_t budget,
                                  const Visit& visit) {
  if (std::is_sorted(order.begin(), order.end())) return ForEach(order, visit);
  const std::size_t n = table_.size();
  if (n == 0) return;
  // Records per pass, from the mean size of a record and its key.
  std::uint64_t bytes = table_.column(0).key_bytes();
  for (std::size_t r = 0; r < n; ++r) bytes += table_.place(r).length;
  const std::size_t per_pass = std::max<std::size_t>(1, budget / std::max<std::uint64_t>(1, bytes / n));
  const std::size_t hard_limit = 2 * std::max<std::size_t>(budget, 1);

  // The slot of the current pass that each record fills; kNotInPass
  // elsewhere. A scan of it finds the pass's records in input order.
  BigVector<std::uint32_t> slot(n, kNotInPass);
  BigVector<std::uint32_t> ascending;
  BigVector<std::uint64_t> starts;     // where each slot's key begins in pass_
  BigVector<std::uint32_t> key_sizes;  // its record follows the key
  BigVector<std::uint64_t> lines;
  Visited v;
  for (std::size_t pos = 0; pos < order.size();) {
    std::size_t count = std::min(per_pass, order.size() - pos);
    for (std::size_t k = 0; k < count; ++k) slot[order[pos + k]] = static_cast<std::uint32_t>(k);
    ascending.clear();
    starts.assign(count + 1, 0);
    key_sizes.resize(count);
    lines.resize(count);
    for (std::uint32_t r = 0; r < n; ++r) {
      const std::uint32_t s = slot[r];
      if (s == kNotInPass) continue;
      ascending.push_back(r);
      const std::size_t key_size = Key(r).size();
      key_sizes[s] = static_cast<std::uint32_t>(key_size);
      starts[s + 1] = key_size + table_.place(r).length;
    }
    for (std::size_t k = 0; k < count; ++k) {
      starts[k + 1] += starts[k];
      // Records far longer than the mean: end the pass early, keeping one.
      if (k > 0 && starts[k + 1] > hard_limit) {
        for (std::size_t later = k; later < count; ++later) slot[order[pos + later]] = kNotInPass;
        std::erase_if(ascending, [&](std::uint32_t r) { return slot[r] == kNotInPass; });
        count = k;
        break;
      }
    }
    char* const pass = pass_.Reserve(starts[count]);
    VisitAscending(ascending, [&](const Visited& read) {
      const std::uint32_t s = slot[read.record];
      // Empty views may have no data, and memcpy takes no null.
      if (!read.key.empty()) std::memcpy(pass + starts[s], read.key.data(), read.key.size());
      if (!read.bytes.empty()) {
        std::memcpy(pass + starts[s] + read.key.size(), read.bytes.data(), read.bytes.size());
      }
      lines[s] = read.line;
      slot[read.record] = kNotInPass;
    }, false);
    for (std::size_t k = 0; k < count; ++k) {
      const char* const at = pass + starts[k];
      v.position = pos + k;
      v.record = order[pos + k];
      v.line = lines[k];
      v.key = std::string_view(at, key_sizes[k]);
      v.bytes = std::string_view(at + key_sizes[k], starts[k + 1] - starts[k] - key_sizes[k]);
      visit(v);
      if (told_ && k % kTellEvery == kTellEvery - 1) told_(v.position + 1, order.size());
    }
    pos += count;
  }
  if (told_) told_(order.size(), order.size());
}

}  // namespace korvix::dedupe
