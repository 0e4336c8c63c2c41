// Loading an index file from any bytes: refused with an Error or viewed,
// never read outside them. Most inputs get a header with the right size and
// checksum, so that the checks behind those are reached; the others are
// taken as a whole file, header and all.
#include <cstring>
#include <vector>

#include "dedupe/match/index_file.h"
#include "fuzz.h"
#include "korvix/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvix::dedupe;
  // Eight-byte aligned, as a mapped file is.
  std::vector<std::uint64_t> words((size + kIndexHeader) / 8 + 1);
  auto* bytes = reinterpret_cast<unsigned char*>(words.data());
  std::size_t length = size;
  if (size > 0 && data[0] % 4 != 0) {
    std::memcpy(bytes + kIndexHeader, data, size);
    const std::span<const unsigned char> body(bytes + kIndexHeader, size);
    const std::uint64_t body_size = size, sum = IndexChecksum(body);
    std::memcpy(bytes, "KVXINDEX", 8);
    std::memcpy(bytes + 8, &kIndexVersion, 4);
    std::memcpy(bytes + 16, &body_size, 8);
    std::memcpy(bytes + 24, &sum, 8);
    length += kIndexHeader;
  } else if (size > 0) {
    std::memcpy(bytes, data, size);
  }
  try {
    const IndexView view({bytes, length}, "fuzz");
    std::vector<std::uint32_t> found;
    for (std::uint32_t r = 0; r < view.records(); ++r) {
      const IndexRecord rec = view.record(r);
      FUZZ_CHECK(rec.profile.size() + rec.id.size() + rec.text.size() <= length);
    }
    for (std::size_t a = 0; a < view.meta().algorithms.size(); ++a) {
      view.ForEachKey(a, [&](std::string_view key, std::span<const std::uint32_t> records) {
        for (const std::uint32_t r : records) FUZZ_CHECK(r < view.records());
        found.clear();
        view.Find(a, key, &found);
        for (const std::uint32_t r : found) FUZZ_CHECK(r < view.records());
      });
      view.Find(a, "no such key", &found);
    }
  } catch (const korvix::Error& e) {
    FUZZ_CHECK(e.code() == korvix::ErrorCode::kIo);
  }
  return 0;
}
