// What one record against an index costs: loads INDEX (timed), then matches
// each record string of RECORDS one at a time on one thread and prints the
// percentiles of the time per record, and the index's size against the raw
// bytes of its keys, profiles and printed records.
//   match_bench INDEX RECORDS
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dedupe/match/index_file.h"
#include "korvix/matcher.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The raw bytes an index holds: every record's key under each algorithm,
// its profile text, and its id and record string.
void PrintSizes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::uint64_t> words(bytes.size() / 8 + 1);
  std::memcpy(words.data(), bytes.data(), bytes.size());
  const korvix::dedupe::IndexView view({reinterpret_cast<const unsigned char*>(words.data()), bytes.size()}, path);
  std::uint64_t keys = 0, profiles = 0, printed = 0, derived = 0;
  std::string profile;
  for (std::uint32_t r = 0; r < view.records(); ++r) {
    const auto rec = view.record(r);
    if (rec.derived) {
      korvix::dedupe::DeriveProfile(rec.text, &profile);
      ++derived;
    }
    profiles += rec.derived ? profile.size() : rec.profile.size();
    printed += rec.id.size() + rec.text.size();
  }
  for (std::size_t a = 0; a < view.meta().algorithms.size(); ++a) {
    view.ForEachKey(a, [&](std::string_view key, std::span<const std::uint32_t> records) {
      keys += key.size() * records.size();
    });
  }
  const double mb = 1e6, size = static_cast<double>(bytes.size());
  std::printf("index %.1f MB; raw keys %.1f MB + profiles %.1f MB = %.1f MB (index %.2fx), "
              "printed records %.1f MB more (index %.2fx of all three)\n",
              size / mb, keys / mb, profiles / mb, static_cast<double>(keys + profiles) / mb,
              size / static_cast<double>(keys + profiles), static_cast<double>(printed) / mb,
              size / static_cast<double>(keys + profiles + printed));
  std::printf("profile texts given by the record string, not stored: %llu of %zu\n",
              static_cast<unsigned long long>(derived), view.records());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: match_bench INDEX RECORDS\n");
    return 2;
  }
  const auto t0 = Clock::now();
  const korvix::Matcher matcher = korvix::Matcher::Load(argv[1]);
  const double load = Ms(Clock::now() - t0);
  std::printf("records %zu, load %.1f ms\n", matcher.size(), load);
  std::ifstream in(argv[2]);
  std::vector<std::string> records;
  for (std::string line; std::getline(in, line);) records.push_back(line);
  std::vector<double> times;
  std::size_t matched = 0, candidates = 0;
  for (const std::string& r : records) {
    const auto t = Clock::now();
    const auto found = matcher.Match(r);
    times.push_back(Ms(Clock::now() - t));
    matched += !found.empty();
    candidates += found.size();
  }
  if (times.empty()) return 0;
  std::sort(times.begin(), times.end());
  const auto at = [&](double q) {
    return times[std::min(times.size() - 1, static_cast<std::size_t>(q * static_cast<double>(times.size())))];
  };
  std::printf("match %zu records on one thread: p50 %.3f ms, p90 %.3f ms, p99 %.3f ms, max %.3f ms; "
              "matched %zu, candidates %zu\n",
              records.size(), at(0.5), at(0.9), at(0.99), times.back(), matched, candidates);
  PrintSizes(argv[1]);
  return 0;
}
