// The description of any code: valid UTF-8, one item per slot, and the
// description of the code written anew from its slots.
#include <vector>

#include "fuzz.h"
#include "korvix/algorithm_code.h"
#include "korvix/description.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvix;
  const std::string_view code = fuzz::Bytes(data, size);
  const std::string description = DescribeAlgorithm(code);
  FUZZ_CHECK(fuzz::ValidUtf8(description));
  // Labels hold neither "(" nor "["; a field above 53 repeats the item before.
  std::size_t items = 0;
  for (const char c : description) items += c == '(' || c == '[';
  const std::vector<AlgorithmSlot> slots = ReadAlgorithmCode(code);
  bool named = true, writable = true;
  for (const AlgorithmSlot& slot : slots) {
    named = named && slot.field <= 53;
    writable = writable && slot.field > 0 && slot.field <= 99 && slot.length >= 0 && slot.length <= 99;
  }
  if (named) FUZZ_CHECK(items == slots.size());
  if (writable) FUZZ_CHECK(DescribeAlgorithm(WriteAlgorithmCode(slots)) == description);
  return 0;
}
