// Speed of every engine function on realistic input, one thread and all
// cores, beside two floors: only splitting the same records at "|", and only
// looking up each byte of the same names in a table of group letters.
//
//   engine_bench --names=FILE --records=FILE [Google Benchmark flags]
//
// FILE holds one name or one record string a line (bench_engine.py beside makes
// a million of each). Without files a few fixed cases run, as a smoke test.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "korvix/algorithm_code.h"
#include "korvix/dedupe.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"

namespace {

// PLZ 5 from the left, Straße 5 from the left, Bez1 4 from the right phonetic.
const std::string kReference = "010500000000000003050000000000000504110000000000";

// Lines are views into one buffer read whole, as a host reads a file: the
// names and records lie in memory one after the other.
struct Lines {
  std::string buffer;
  std::vector<std::string_view> items;

  explicit Lines(std::vector<std::string> fixed) {
    for (const std::string& s : fixed) buffer += s + "\n";
    Split();
  }

  bool Read(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    buffer.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    Split();
    return !items.empty();
  }

  void Split() {
    items.clear();
    for (std::size_t begin = 0; begin < buffer.size();) {
      std::size_t end = buffer.find('\n', begin);
      if (end == std::string::npos) end = buffer.size();
      items.emplace_back(buffer.data() + begin, end - begin);
      begin = end + 1;
    }
  }
};

Lines names({"Meier", "Müller", "Schmidt", "Hoffmann GmbH & Co. KG", "Fischer", "Bäcker", "Weiß",
             "Schröder & Söhne"});
Lines records({"10115|Berlin|Hauptstraße 5|MEIER|Meier|Hans|||A",
               "80331|München|Lange Strasse 12|MÜLLER|Müller GmbH|Einkauf|||B",
               "50667|Köln|Am Markt 3|SCHMIDT|Bäckerei Schmidt KG||z. Hd. Frau Groß||C",
               "40210|Düsseldorf|Königsallee 1|WEIß|Weiß & Söhne|Vertrieb||Postfach 12 34|A"});
Lines streets({});  // item 3 of each record

// Runs `fn` on the items in turn; under several threads each thread starts
// at its own share of the items, so they do not share cache lines.
template <class Fn>
void Over(benchmark::State& state, const Lines& lines, Fn&& fn) {
  const std::vector<std::string_view>& items = lines.items;
  std::size_t i = items.size() / static_cast<std::size_t>(state.threads()) *
                  static_cast<std::size_t>(state.thread_index());
  for (auto _ : state) {
    fn(items[i]);
    if (++i == items.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

// The floor: finding the eight separators of the same records (one memchr
// each), nothing else.
void BM_SplitFloor(benchmark::State& state) {
  Over(state, records, [](std::string_view r) {
    std::size_t p = r.find('|');
    for (int k = 1; k < 8 && p != r.npos; ++k) p = r.find('|', p + 1);
    benchmark::DoNotOptimize(p);
  });
}

// The floor of any phonetic code: each byte of the same names looked up in a
// table of group letters and written, without a branch and without a rule.
void BM_PhoneticFloor(benchmark::State& state) {
  static const auto kTable = [] {
    std::array<char, 256> t{};
    constexpr std::string_view kGroups = ".BCD.FG..GCLMM.BQRCD.F.Q.Q";  // A-Z, "." dropped
    for (int c = 'A'; c <= 'Z'; ++c) {
      const char g = kGroups[static_cast<std::size_t>(c - 'A')];
      t[static_cast<std::size_t>(c)] = t[static_cast<std::size_t>(c + 0x20)] = g == '.' ? 0 : g;
    }
    return t;
  }();
  std::string code;
  Over(state, names, [&](std::string_view n) {
    code.resize(n.size());
    char* to = code.data();
    for (const char c : n) {
      *to = kTable[static_cast<unsigned char>(c)];
      to += *to != 0;
    }
    code.resize(static_cast<std::size_t>(to - code.data()));
    benchmark::DoNotOptimize(code.data());
  });
}

void BM_KeyBuilderKey(benchmark::State& state) {
  static const korvix::KeyBuilder builder(kReference);
  std::string key;
  Over(state, records, [&](std::string_view r) {
    builder.Key(r, &key);
    benchmark::DoNotOptimize(key.data());
  });
}

void BM_BuildKey(benchmark::State& state) {
  Over(state, records,
       [](std::string_view r) { benchmark::DoNotOptimize(korvix::BuildKey(kReference, r)); });
}

void BM_PhoneticCode(benchmark::State& state) {
  Over(state, names,
       [](std::string_view n) { benchmark::DoNotOptimize(korvix::PhoneticCode(n)); });
}

void BM_AppendPhoneticCode(benchmark::State& state) {
  std::string code;
  Over(state, names, [&](std::string_view n) {
    code.clear();
    korvix::AppendPhoneticCode(n, &code);
    benchmark::DoNotOptimize(code.data());
  });
}

void BM_ReducePhonetic(benchmark::State& state) {
  Over(state, names,
       [](std::string_view n) { benchmark::DoNotOptimize(korvix::ReducePhonetic(n)); });
}

void BM_NormalizeStreet(benchmark::State& state) {
  Over(state, streets,
       [](std::string_view s) { benchmark::DoNotOptimize(korvix::NormalizeStreet(s)); });
}

void BM_GetDataField(benchmark::State& state) {
  Over(state, records,
       [](std::string_view r) { benchmark::DoNotOptimize(korvix::GetDataField(r, 5)); });
}

void BM_NormalizeText(benchmark::State& state) {
  Over(state, records,
       [](std::string_view r) { benchmark::DoNotOptimize(korvix::NormalizeText(r)); });
}

// The dedupe job's --normalize, every rule of every field, as hosts call it.
void BM_NormalizeRecord(benchmark::State& state) {
  Over(state, records,
       [](std::string_view r) { benchmark::DoNotOptimize(korvix::NormalizeRecord(r)); });
}

const Lines kCodes({kReference, "0103000000000000",
                     "5112000000000000510801000000000009021000000000",
                     "01040000000000009903000000000000"});

void BM_ReadAlgorithmCode(benchmark::State& state) {
  Over(state, kCodes,
       [](std::string_view c) { benchmark::DoNotOptimize(korvix::ReadAlgorithmCode(c)); });
}

void BM_DescribeAlgorithm(benchmark::State& state) {
  Over(state, kCodes,
       [](std::string_view c) { benchmark::DoNotOptimize(korvix::DescribeAlgorithm(c)); });
}

// All records at once on every core this process may use.
void BM_KeyBuilderKeysBatch(benchmark::State& state) {
  const korvix::KeyBuilder builder(kReference);
  for (auto _ : state) benchmark::DoNotOptimize(builder.Keys(records.items));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(records.items.size()));
}

void Register(unsigned cores) {
  const auto per_item = [cores](const char* name, void (*fn)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, fn)->Threads(1);
    if (cores > 1) benchmark::RegisterBenchmark(name, fn)->Threads(static_cast<int>(cores))->UseRealTime();
  };
  per_item("SplitFloor", BM_SplitFloor);
  per_item("KeyBuilder::Key", BM_KeyBuilderKey);
  per_item("BuildKey", BM_BuildKey);
  per_item("PhoneticFloor", BM_PhoneticFloor);
  per_item("PhoneticCode", BM_PhoneticCode);
  per_item("AppendPhoneticCode", BM_AppendPhoneticCode);
  per_item("ReducePhonetic", BM_ReducePhonetic);
  per_item("NormalizeStreet", BM_NormalizeStreet);
  per_item("GetDataField", BM_GetDataField);
  per_item("NormalizeText", BM_NormalizeText);
  per_item("NormalizeRecord", BM_NormalizeRecord);
  per_item("ReadAlgorithmCode", BM_ReadAlgorithmCode);
  per_item("DescribeAlgorithm", BM_DescribeAlgorithm);
  benchmark::RegisterBenchmark("KeyBuilder::Keys batch, all cores", BM_KeyBuilderKeysBatch)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  // Our own flags first; the rest belongs to Google Benchmark.
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    Lines* target = arg.starts_with("--names=") ? &names : arg.starts_with("--records=") ? &records : nullptr;
    if (target == nullptr) {
      argv[kept++] = argv[i];
    } else if (const char* path = argv[i] + arg.find('=') + 1; !target->Read(path)) {
      std::cerr << "engine_bench: cannot read " << path << "\n";
      return 2;
    }
  }
  argc = kept;
  for (std::string_view r : records.items) streets.buffer += korvix::GetDataField(r, 3) + "\n";
  streets.Split();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::AddCustomContext("names", std::to_string(names.items.size()));
  benchmark::AddCustomContext("records", std::to_string(records.items.size()));
  Register(std::max(1u, std::thread::hardware_concurrency()));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
