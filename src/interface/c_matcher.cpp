// The C interface to the matcher.
#include <string>
#include <vector>

#include "interface/c_support.h"
#include "korvix/matcher.h"

struct korvix_matcher_t {
  korvix::Matcher matcher;
};

struct korvix_matches_t {
  std::vector<korvix::MatchCandidate> matches;
};

namespace {

using korvix::c_api::Arg;
using korvix::c_api::Guarded;

const korvix::MatchCandidate* At(const korvix_matches_t* m, std::size_t i) {
  return m != nullptr && i < m->matches.size() ? &m->matches[i] : nullptr;
}

}  // namespace

extern "C" {

korvix_matcher_t* korvix_matcher_build(const char* path, const char* const* algorithms, size_t count,
                                       korvix_bool normalize, double verify, const char* id, char** errptr) {
  return Guarded(errptr, static_cast<korvix_matcher_t*>(nullptr), [&] {
    korvix::DedupeOptions options = korvix::RecommendedDedupe();
    if (count > 0) {
      options = korvix::DedupeOptions();
      for (std::size_t a = 0; a < count; ++a) options.algorithms.push_back({std::string(Arg(algorithms[a])), ""});
      options.normalize = korvix::c_api::IsTrue(normalize);
      options.verify = verify;
    }
    options.id = std::string(Arg(id));
    return new korvix_matcher_t{korvix::Matcher::FromFile(std::string(Arg(path)), options)};
  });
}

korvix_matcher_t* korvix_matcher_open(const char* path, char** errptr) {
  return Guarded(errptr, static_cast<korvix_matcher_t*>(nullptr),
                 [&] { return new korvix_matcher_t{korvix::Matcher::Load(std::string(Arg(path)))}; });
}

korvix_matches_t* korvix_matcher_match(const korvix_matcher_t* matcher, const char* record, size_t limit,
                                       char** errptr) {
  return Guarded(errptr, static_cast<korvix_matches_t*>(nullptr), [&] {
    if (matcher == nullptr) throw korvix::Error(korvix::ErrorCode::kInvalidArgument, "no matcher");
    return new korvix_matches_t{matcher->matcher.Match(Arg(record), limit)};
  });
}

korvix_bool korvix_matcher_add(korvix_matcher_t* matcher, const char* record, const char* id, uint32_t* number,
                               char** errptr) {
  return Guarded(errptr, KORVIX_FALSE, [&] {
    if (matcher == nullptr) throw korvix::Error(korvix::ErrorCode::kInvalidArgument, "no matcher");
    const std::uint32_t n = matcher->matcher.Add(Arg(record), Arg(id));
    if (number != nullptr) *number = n;
    return KORVIX_TRUE;
  });
}

korvix_bool korvix_matcher_save(const korvix_matcher_t* matcher, const char* path, char** errptr) {
  return Guarded(errptr, KORVIX_FALSE, [&] {
    if (matcher == nullptr) throw korvix::Error(korvix::ErrorCode::kInvalidArgument, "no matcher");
    matcher->matcher.Save(std::string(Arg(path)));
    return KORVIX_TRUE;
  });
}

size_t korvix_matcher_size(const korvix_matcher_t* matcher) {
  return matcher == nullptr ? 0 : matcher->matcher.size();
}

void korvix_matcher_free(korvix_matcher_t* matcher) { delete matcher; }

size_t korvix_matches_size(const korvix_matches_t* matches) {
  return matches == nullptr ? 0 : matches->matches.size();
}

uint32_t korvix_matches_record(const korvix_matches_t* matches, size_t i) {
  const korvix::MatchCandidate* m = At(matches, i);
  return m == nullptr ? 0 : m->record;
}

int korvix_matches_algorithm(const korvix_matches_t* matches, size_t i) {
  const korvix::MatchCandidate* m = At(matches, i);
  return m == nullptr ? 0 : m->algorithm;
}

double korvix_matches_score(const korvix_matches_t* matches, size_t i) {
  const korvix::MatchCandidate* m = At(matches, i);
  return m == nullptr ? 0 : m->score;
}

char* korvix_matches_id(const korvix_matches_t* matches, size_t i) {
  const korvix::MatchCandidate* m = At(matches, i);
  return korvix::c_api::CopyString(m == nullptr ? std::string_view() : std::string_view(m->id));
}

void korvix_matches_parts(const korvix_matches_t* matches, size_t i, float* parts) {
  const korvix::MatchCandidate* m = At(matches, i);
  if (parts == nullptr) return;
  if (m == nullptr) {
    for (int p = 0; p < 7; ++p) parts[p] = 0;
    return;
  }
  const float given[7] = {m->kind, m->name, m->first_name, m->street, m->house_number, m->plz, m->town};
  for (int p = 0; p < 7; ++p) parts[p] = given[p];
}

void korvix_matches_free(korvix_matches_t* matches) { delete matches; }

}  // extern "C"
