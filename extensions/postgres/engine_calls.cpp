#include "engine_calls.h"


#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json.h"
#include "dedupe/compare/record_keys.h"
#include "dedupe/link/lookup.h"
#include "korvix/algorithm_code.h"
#include "korvix/dedupe.h"
#include "korvix/error.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"

struct korvix_pg_session {
  std::string algorithm;
  std::optional<korvix::KeyBuilder> builder;
  std::string result;
  bool refused = false;  // the result says why the argument was refused
  // Made on the first korvix_keys call: other functions need no key builders.
  std::optional<korvix::dedupe::RecommendedKeyer> keyer;
  std::vector<std::string> keys;
};

namespace {

bool Done(const korvix_pg_session& session, const char** out, size_t* out_len) {
  *out = session.result.data();
  *out_len = session.result.size();
  return true;
}

}  // namespace

korvix_pg_session* korvix_pg_session_new() { return new (std::nothrow) korvix_pg_session; }

void korvix_pg_session_free(korvix_pg_session* session) { delete session; }

bool korvix_pg_key(korvix_pg_session* session, const char* algorithm, size_t algorithm_len,
                   const char* record, size_t record_len, const char** out, size_t* out_len) {
  try {
    const std::string_view code(algorithm, algorithm_len);
    if (!session->builder || code != session->algorithm) {
      session->builder.reset();  // a half-made pair must not match the next call
      session->algorithm.assign(code);
      session->builder.emplace(code);
    }
    session->builder->Key(std::string_view(record, record_len), &session->result);
    return Done(*session, out, out_len);
  } catch (...) {
    return false;
  }
}

bool korvix_pg_phonetic(korvix_pg_session* session, const char* text, size_t text_len,
                        const char** out, size_t* out_len) {
  try {
    session->result = korvix::PhoneticCode(std::string_view(text, text_len));
    return Done(*session, out, out_len);
  } catch (...) {
    return false;
  }
}

bool korvix_pg_describe(korvix_pg_session* session, const char* algorithm, size_t algorithm_len,
                        const char** out, size_t* out_len) {
  try {
    session->result = korvix::DescribeAlgorithm(std::string_view(algorithm, algorithm_len));
    return Done(*session, out, out_len);
  } catch (...) {
    return false;
  }
}

bool korvix_pg_refused(korvix_pg_session* session) {
  const bool refused = session->refused;
  session->refused = false;
  return refused;
}

bool korvix_pg_code(korvix_pg_session* session, const char* given, size_t given_len,
                    const char** out, size_t* out_len) {
  try {
    try {
      session->result = korvix::ReadAlgorithm(std::string_view(given, given_len));
    } catch (const korvix::Error& e) {
      session->result = std::string("korvix_code: ") + e.what();
      session->refused = true;
    }
    return Done(*session, out, out_len);
  } catch (...) {
    return false;
  }
}

bool korvix_pg_normalize(korvix_pg_session* session, const char* record, size_t record_len,
                         const char** out, size_t* out_len) {
  try {
    session->result = korvix::NormalizeRecord(std::string_view(record, record_len));
    return Done(*session, out, out_len);
  } catch (...) {
    return false;
  }
}

bool korvix_pg_keys(korvix_pg_session* session, const char* record, size_t record_len,
                    size_t* count) {
  try {
    if (!session->keyer) session->keyer.emplace();
    session->keyer->Keys(std::string_view(record, record_len), &session->keys);
    *count = session->keys.size();
    return true;
  } catch (...) {
    session->keys.clear();
    return false;
  }
}

void korvix_pg_key_at(const korvix_pg_session* session, size_t i, const char** out,
                      size_t* out_len) {
  *out = session->keys[i].data();
  *out_len = session->keys[i].size();
}

bool korvix_pg_score(korvix_pg_session*, const char* a, size_t a_len, const char* b,
                     size_t b_len, double* score) {
  try {
    *score = korvix::ScoreRecords(std::string_view(a, a_len), std::string_view(b, b_len));
    return true;
  } catch (...) {
    return false;
  }
}

bool korvix_pg_explain(korvix_pg_session* session, const char* a, size_t a_len, const char* b,
                       size_t b_len, const char** out, size_t* out_len) {
  try {
    session->result = korvix::ComparisonJson(
        korvix::CompareRecords(std::string_view(a, a_len), std::string_view(b, b_len)));
    return Done(*session, out, out_len);
  } catch (...) {
    return false;
  }
}

bool korvix_pg_matches(korvix_pg_session* session, const char* record, size_t record_len, const char* records,
                       const size_t* ends, const char* ids, const size_t* id_ends, size_t count, const char** out,
                       size_t* out_len) {
  try {
    std::vector<std::string_view> rows(count);
    std::vector<std::string> id_json(count);
    for (size_t i = 0; i < count; ++i) {
      const size_t begin = i == 0 ? 0 : ends[i - 1], id_begin = i == 0 ? 0 : id_ends[i - 1];
      rows[i] = std::string_view(records + begin, ends[i] - begin);
      korvix::base::AppendJsonString(std::string_view(ids + id_begin, id_ends[i] - id_begin), &id_json[i]);
    }
    session->result = korvix::dedupe::LookupJson(korvix::dedupe::LookUp(std::string_view(record, record_len), rows), id_json);
    return Done(*session, out, out_len);
  } catch (...) {
    return false;
  }
}
