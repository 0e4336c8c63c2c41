// Speed of the key engine per record, against the floor of only splitting
// the same records at "|".
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "korvix/doublet_functions.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"

namespace {

// PLZ 5 from the left, Straße 5 from the left, Bez1 4 from the right phonetic.
const std::string kReference = "010500000000000003050000000000000504110000000000";

const std::vector<std::string>& Records() {
  static const std::vector<std::string> records = [] {
    const char* const towns[] = {"Berlin", "München", "Köln", "Düsseldorf", "Hamburg", "Stuttgart"};
    const char* const streets[] = {"Hauptstraße", "Bahnhofstr.", "Lange Strasse", "Am Markt",
                                   "Königsallee", "Gartenweg"};
    const char* const names[] = {"Müller GmbH", "Meier & Söhne", "Schmidt KG", "Bäckerei Becker",
                                 "Hoffmann", "Fischer Logistik"};
    std::vector<std::string> r;
    for (int i = 0; i < 4096; ++i) {
      r.push_back(std::to_string(10000 + i * 37 % 89999) + "|" + towns[i % 6] + "|" +
                  streets[i * 7 % 6] + " " + std::to_string(1 + i % 120) + "|" + "SUCH" +
                  std::to_string(i) + "|" + names[i * 5 % 6] + "|Einkauf||" + "|" + "ABC"[i % 3]);
    }
    return r;
  }();
  return records;
}

void BM_BuildDoubletKey(benchmark::State& state) {
  const korvix::DoubletFunctions df;
  const auto& records = Records();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(df.BuildDoubletKey(kReference, records[i++ & 4095]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildDoubletKey);

void BM_KeyBuilder(benchmark::State& state) {
  const korvix::KeyBuilder builder(kReference);
  const auto& records = Records();
  std::string key;
  std::size_t i = 0;
  for (auto _ : state) {
    builder.Key(records[i++ & 4095], &key);
    benchmark::DoNotOptimize(key.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyBuilder);

void BM_KeyBuilderBatchAllCores(benchmark::State& state) {
  const korvix::KeyBuilder builder(kReference);
  std::vector<std::string> records;
  for (int k = 0; k < 64; ++k) {
    records.insert(records.end(), Records().begin(), Records().end());
  }
  for (auto _ : state) benchmark::DoNotOptimize(builder.Keys(records));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(records.size()));
}
BENCHMARK(BM_KeyBuilderBatchAllCores)->UseRealTime()->Unit(benchmark::kMillisecond);

// The floor: finding the separators of the same records, nothing else.
void BM_SplitFloor(benchmark::State& state) {
  const auto& records = Records();
  std::size_t i = 0;
  for (auto _ : state) {
    const std::string& r = records[i++ & 4095];
    std::size_t items = 1;
    for (std::size_t p = r.find('|'); p != std::string::npos; p = r.find('|', p + 1)) ++items;
    benchmark::DoNotOptimize(items);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SplitFloor);

void BM_PhoneticCode(benchmark::State& state) {
  const char* const names[] = {"Meier", "Müller", "Schmidt", "Hoffmann", "Fischer",
                               "Becker", "Wagner", "Schulz"};
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(korvix::PhoneticCode(names[i++ & 7]));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PhoneticCode);

}  // namespace

BENCHMARK_MAIN();
