// BuildKey on any code and record: valid UTF-8, and as many characters as
// the code's slots say whenever no length is negative.
#include "fuzz.h"
#include "korvix/algorithm_code.h"
#include "korvix/key_builder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvix;
  std::string_view record = fuzz::Bytes(data, size);
  const std::string_view code = fuzz::NextLine(&record);
  const std::string key = BuildKey(code, record);
  FUZZ_CHECK(fuzz::ValidUtf8(key));
  long length = 0;
  bool fixed = true;
  for (const AlgorithmSlot& slot : ReadAlgorithmCode(code)) {
    fixed = fixed && slot.length >= 0 && slot.length <= 99;
    length += slot.length;
  }
  if (fixed) FUZZ_CHECK(fuzz::Characters(key) == static_cast<std::size_t>(length));
  FUZZ_CHECK(fuzz::ValidUtf8(GetDataField(record, static_cast<int>(size % 12))));
  FUZZ_CHECK(fuzz::ValidUtf8(NormalizeStreet(record)));
  return 0;
}
