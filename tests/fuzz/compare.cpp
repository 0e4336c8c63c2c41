// Two records compared as verification compares them: whatever the bytes,
// every part and the score lie between 0 and 1, the score is the product of
// the parts unless a rule decided, the comparison is symmetric, the fast
// path agrees with it at its floor, and the explanation is valid JSON text
// (UTF-8, no raw control characters).
#include <cmath>
#include <string>

#include "dedupe/compare/normalize.h"
#include "dedupe/compare/profile.h"
#include "dedupe/compare/similarity.h"
#include "fuzz.h"
#include "korvix/dedupe.h"

namespace {

// Strict UTF-8: no stray continuation byte, no overlong form, nothing cut off.
bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvix;
  std::string_view rest = fuzz::Bytes(data, size);
  const std::string_view a = fuzz::NextLine(&rest);
  const std::string_view b = fuzz::NextLine(&rest);
  const RecordComparison c = CompareRecords(a, b);
  for (const double part : {c.kind, c.name, c.first_name, c.street, c.house_number, c.plz, c.town, c.score}) {
    FUZZ_CHECK(part >= 0 && part <= 1);
  }
  const double product = c.kind * c.name * c.first_name * c.street * c.house_number * c.plz * c.town;
  FUZZ_CHECK(c.rule == "parts" ? std::fabs(c.score - product) < 1e-5 : c.score == 0);
  FUZZ_CHECK(std::fabs(CompareRecords(b, a).score - c.score) < 1e-9);
  // The path that skips what cannot lift a pair to the floor.
  dedupe::Normalizer normalizer;
  dedupe::ProfileMaker maker;
  std::string normal, text_a, text_b;
  normalizer.Record(a, &normal);
  dedupe::ProfileTextOf(normal, normalizer.marks(), &text_a);
  normalizer.Record(b, &normal);
  dedupe::ProfileTextOf(normal, normalizer.marks(), &text_b);
  const dedupe::Profile pa = maker.Make(text_a), pb = maker.Make(text_b);
  for (const double floor : {0.6, 0.8}) {
    const double fast = dedupe::Score(pa, pb, floor);
    FUZZ_CHECK(c.score >= floor ? std::fabs(fast - c.score) < 1e-6 : fast < floor);
  }
  const std::string json = ComparisonJson(c);
  FUZZ_CHECK(ValidUtf8(json));
  for (const char ch : json) FUZZ_CHECK(static_cast<unsigned char>(ch) >= 0x20);
  return 0;
}
