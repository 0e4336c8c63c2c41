// The keys of the recommended options for one record at a time, as a
// database computes them for an index on each row and for a look-up.
#ifndef KORVIX_DEDUPE_RECOMMENDED_H_
#define KORVIX_DEDUPE_RECOMMENDED_H_

#include <string>
#include <string_view>
#include <vector>

#include "dedupe/compare/normalize.h"
#include "korvix/key_builder.h"

namespace korvix::dedupe {

// Keys records under the algorithms of RecommendedDedupe(), each record
// normalised first as the job normalises it. One keyer serves one thread.
//
// The algorithms' keys differ in length, so a key of one can never equal a
// key of another: a plain set of keys finds the same candidates as the job,
// which matches keys algorithm by algorithm.
class RecommendedKeyer {
 public:
  RecommendedKeyer();

  // Sets `*keys` to the keys of `record`, one per algorithm in their order;
  // reuses the strings.
  void Keys(std::string_view record, std::vector<std::string>* keys);

 private:
  std::vector<KeyBuilder> builders_;
  Normalizer normalizer_;
  std::string normal_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_RECOMMENDED_H_
