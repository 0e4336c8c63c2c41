// The CSV reader on any bytes and block size: records lie inside the input,
// in order, and read again from their bytes alone they give the same fields
// as in the stream, whatever the block boundaries.
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "dedupe/read/csv_reader.h"
#include "fuzz.h"

using namespace korvix::dedupe;

struct Seen {
  std::uint64_t line, offset, length;
  bool ok;
  std::vector<std::string> fields;
  friend bool operator==(const Seen&, const Seen&) = default;
};

static std::vector<Seen> ReadAll(std::string_view bytes, char delimiter, std::size_t block, char* used) {
  const int fd = ::memfd_create("fuzz-csv", MFD_CLOEXEC);
  FUZZ_CHECK(fd >= 0 && ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
  CsvReader reader(fd, "fuzz.csv", delimiter, block);
  std::vector<Seen> seen;
  for (CsvRecord r; reader.Next(&r);) {
    FUZZ_CHECK(r.offset + r.length <= bytes.size());
    FUZZ_CHECK(seen.empty() || (r.offset > seen.back().offset && r.line > seen.back().line));
    seen.push_back({r.line, r.offset, r.length, r.ok(), {r.fields.begin(), r.fields.end()}});
  }
  *used = reader.delimiter();
  ::close(fd);
  return seen;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  constexpr char kDelimiters[] = {CsvReader::kDetect, ';', ',', '\t'};
  const char delimiter = kDelimiters[data[0] % 4];
  const std::string_view bytes = korvix::fuzz::Bytes(data + 1, size - 1);
  char used = 0, used_small = 0;
  const std::vector<Seen> seen = ReadAll(bytes, delimiter, 1 << 13, &used);  // one block: -max_len is 4096
  FUZZ_CHECK(ReadAll(bytes, delimiter, 4 + data[0] / 4 % 16, &used_small) == seen);
  FUZZ_CHECK(used_small == used);
  CsvRecord again;
  for (const Seen& s : seen) {
    if (!s.ok) continue;
    ParseCsvRecord(bytes.substr(s.offset, s.length), used, &again);
    FUZZ_CHECK(again.ok() && std::vector<std::string>(again.fields.begin(), again.fields.end()) == s.fields);
  }
  return 0;
}
