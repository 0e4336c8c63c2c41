// The description of any code: valid UTF-8, one item per slot, and the
// literal reading's text.
#include <vector>

#include "engine/reference.h"
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
  bool named = true;
  for (const AlgorithmSlot& slot : slots) named = named && slot.field <= 53;
  if (named) FUZZ_CHECK(items == slots.size());
  FUZZ_CHECK(description == text::Encode(reference::DescribeAlgorithm(text::Decode(code))));
  return 0;
}
