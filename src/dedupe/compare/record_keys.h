// The keys of one record under several algorithms, as the job builds them
// for every record of a file; the database functions key one row at a time
// with the same code, so that an index finds the job's candidates.
#ifndef KORVIX_DEDUPE_COMPARE_RECORD_KEYS_H_
#define KORVIX_DEDUPE_COMPARE_RECORD_KEYS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dedupe/compare/normalize.h"
#include "korvix/key_builder.h"

namespace korvix::dedupe {

// The keys of a record under several algorithms, each slot that several
// of them share built once: one builder over the distinct slots keys the
// record in one pass, and each algorithm's key is put together from the
// parts of its slots. The recommendation reads the street three times and
// the PLZ twice. Where a part cannot be told apart in the joint key (a
// negative length, more than ten distinct slots) or depends on the slot
// before it (a field number above 53), each builder keys on its own.
class JointKeys {
 public:
  // REQUIRES: `builders` outlive this.
  explicit JointKeys(std::span<const KeyBuilder> builders);

  // Sets keys[a] to the key of `record` under builders[a]; `joint` and
  // `ends` are the caller's buffers, so that one JointKeys serves threads.
  void Keys(std::string_view record, std::span<std::string> keys, std::string* joint,
            std::vector<std::size_t>* ends) const;

 private:
  std::span<const KeyBuilder> builders_;
  std::optional<KeyBuilder> joint_;
  std::vector<std::vector<std::size_t>> parts_;  // per algorithm, its slots in the joint key
  std::vector<std::size_t> lengths_;              // characters of each joint slot
};

// The items that `builders` read, as Normalizer takes them: what a key
// never reads need not be normalised.
std::uint64_t ItemsKeyed(std::span<const KeyBuilder> builders);

// One record after another: normalised (when the job normalises), then
// keyed under every algorithm. One keyer serves one thread.
class RecordKeyer {
 public:
  // `also`: items to normalise besides those the keys read, for the
  // caller's use of normal(). REQUIRES: `builders` outlive this.
  RecordKeyer(std::span<const KeyBuilder> builders, bool normalize, std::uint64_t also = 0);

  // Sets keys[a] (REQUIRES: as many as builders) to the key of `record`
  // under builders[a].
  void Keys(std::string_view record, std::span<std::string> keys);

  // The record as the last Keys normalised it (empty when nothing is
  // normalised), and what the rules took off it (Normalizer::marks).
  std::string& normal() { return normal_; }
  unsigned marks() const { return normalizer_.marks(); }

 private:
  JointKeys joint_keys_;
  bool normalize_;
  bool normalizes_;  // keys or caller
  Normalizer normalizer_;
  std::string normal_, joint_;
  std::vector<std::size_t> ends_;
};

// The keys of RecommendedDedupe() for one record at a time: what the job
// with the recommendation keys, as a database computes them for the index
// on each row and for a look-up.
//
// The algorithms' keys differ in length, so a key of one can never equal a
// key of another: a plain set of keys finds the same candidates as the job,
// which matches keys algorithm by algorithm.
class RecommendedKeyer {
 public:
  RecommendedKeyer();
  RecommendedKeyer(const RecommendedKeyer&) = delete;  // the keyer views builders_
  RecommendedKeyer& operator=(const RecommendedKeyer&) = delete;

  // Sets `*keys` to the keys of `record`, one per algorithm in their order;
  // reuses the strings.
  void Keys(std::string_view record, std::vector<std::string>* keys);

 private:
  std::vector<KeyBuilder> builders_;
  RecordKeyer keyer_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_COMPARE_RECORD_KEYS_H_
