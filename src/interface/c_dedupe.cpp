// The C interface to the dedupe job.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "interface/c_support.h"
#include "korvix/dedupe.h"

struct korvix_dedupe_t {
  korvix::DedupeResult result;
};

namespace {

using korvix::c_api::Arg;

std::atomic<std::uint64_t> memory_limit{0};  // korvix_dedupe_set_memory
std::mutex decisions_mutex;
std::vector<korvix::Decision> decisions;  // korvix_dedupe_use_decisions
std::string temp_dir;                     // korvix_dedupe_set_temp_dir, under decisions_mutex

korvix::DedupeOptions Options(const char* const* algorithms, std::size_t count,
                              korvix_bool normalize, double verify) {
  korvix::DedupeOptions options = count == 0 ? korvix::RecommendedDedupe() : korvix::DedupeOptions();
  options.memory = memory_limit;
  {
    const std::lock_guard lock(decisions_mutex);
    options.decisions = decisions;
    options.temp_dir = temp_dir;
  }
  if (count == 0) return options;
  for (std::size_t a = 0; a < count; ++a) options.algorithms.push_back({std::string(Arg(algorithms[a])), ""});
  options.normalize = korvix::c_api::IsTrue(normalize);
  options.verify = verify;
  return options;
}

// Runs the job and wraps its result in a handle.
template <class Run>
korvix_dedupe_t* Guarded(char** errptr, Run&& run) noexcept {
  return korvix::c_api::Guarded(errptr, static_cast<korvix_dedupe_t*>(nullptr),
                                [&] { return new korvix_dedupe_t{run()}; });
}

const korvix::DedupeRecord* At(const korvix_dedupe_t* result, std::size_t i) {
  return result != nullptr && i < result->result.records.size() ? &result->result.records[i] : nullptr;
}

}  // namespace

extern "C" {

korvix_dedupe_t* korvix_dedupe_file(const char* path, const char* base, const char* const* algorithms,
                                    size_t count, korvix_bool normalize, double verify, char** errptr) {
  return Guarded(errptr, [&] {
    korvix::DedupeOptions options = Options(algorithms, count, normalize, verify);
    options.base = std::string(Arg(base));
    return korvix::DedupeFile(std::string(Arg(path)), options);
  });
}

korvix_dedupe_t* korvix_dedupe_survivors(const char* path, const char* const* algorithms, size_t count,
                                        korvix_bool normalize, double verify, const char* survivor,
                                        korvix_bool fill, const char* clean, const char* mapping,
                                        char** errptr) {
  return Guarded(errptr, [&] {
    korvix::DedupeOptions options = Options(algorithms, count, normalize, verify);
    const std::string rule(Arg(survivor));
    options.survivor = rule.empty() ? "most-complete" : rule;
    options.fill = korvix::c_api::IsTrue(fill);
    options.clean = std::string(Arg(clean));
    options.mapping = std::string(Arg(mapping));
    return korvix::DedupeFile(std::string(Arg(path)), options);
  });
}

korvix_dedupe_t* korvix_dedupe_records(const char* const* records, size_t records_count,
                                       const char* const* algorithms, size_t count,
                                       korvix_bool normalize, double verify, char** errptr) {
  return Guarded(errptr, [&] {
    std::vector<std::string_view> views;
    for (std::size_t i = 0; i < records_count; ++i) views.push_back(Arg(records[i]));
    return korvix::DedupeRecords(views, Options(algorithms, count, normalize, verify));
  });
}

size_t korvix_dedupe_size(const korvix_dedupe_t* result) {
  return result == nullptr ? 0 : result->result.records.size();
}

size_t korvix_dedupe_groups(const korvix_dedupe_t* result) {
  return result == nullptr ? 0 : result->result.groups;
}

uint32_t korvix_dedupe_group(const korvix_dedupe_t* result, size_t i) {
  const korvix::DedupeRecord* r = At(result, i);
  return r == nullptr ? 0 : r->group;
}

int korvix_dedupe_algorithm(const korvix_dedupe_t* result, size_t i) {
  const korvix::DedupeRecord* r = At(result, i);
  return r == nullptr ? 0 : r->algorithm;
}

double korvix_dedupe_score(const korvix_dedupe_t* result, size_t i) {
  const korvix::DedupeRecord* r = At(result, i);
  return r == nullptr ? 0 : r->score;
}

uint64_t korvix_dedupe_line(const korvix_dedupe_t* result, size_t i) {
  const korvix::DedupeRecord* r = At(result, i);
  return r == nullptr ? 0 : r->line;
}

size_t korvix_dedupe_survivor(const korvix_dedupe_t* result, size_t i) {
  const korvix::DedupeRecord* r = At(result, i);
  return r == nullptr ? i : r->survivor;
}

void korvix_dedupe_free(korvix_dedupe_t* result) { delete result; }

void korvix_dedupe_set_memory(uint64_t bytes) { memory_limit = bytes; }

void korvix_dedupe_set_temp_dir(const char* folder) {
  const std::lock_guard lock(decisions_mutex);
  temp_dir = Arg(folder);
}

char* korvix_record_identity(const char* record, const char* id) {
  return korvix::c_api::CopyString(korvix::RecordIdentity(Arg(record), Arg(id)));
}

korvix_bool korvix_decide(korvix_connection_t* connection, const char* kind, const char* a, const char* b,
                          const char* who, char** errptr) {
  return korvix::c_api::Guarded(errptr, KORVIX_FALSE, [&] {
    korvix::Decision d = korvix::MakeDecision(Arg(kind), std::string(Arg(a)), std::string(Arg(b)));
    d.who = Arg(who);
    korvix::DecisionStore(connection == nullptr ? nullptr : connection->connection.get()).Record(d);
    return KORVIX_TRUE;
  });
}

korvix_bool korvix_dedupe_use_decisions(korvix_connection_t* connection, char** errptr) {
  return korvix::c_api::Guarded(errptr, KORVIX_FALSE, [&] {
    std::vector<korvix::Decision> stored;
    if (connection != nullptr) stored = korvix::DecisionStore(connection->connection.get()).List();
    korvix::CheckDecisionsAgree(stored);
    const std::lock_guard lock(decisions_mutex);
    decisions = std::move(stored);
    return KORVIX_TRUE;
  });
}

}  // extern "C"
