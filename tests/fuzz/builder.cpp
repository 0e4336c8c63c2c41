// A KeyBuilder, parsed once and reused for many records, on one thread and
// on several, gives exactly the keys of BuildKey and of the literal reading.
#include <string>
#include <vector>

#include "engine/reference.h"
#include "fuzz.h"
#include "korvix/key_builder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvix;
  std::string_view rest = fuzz::Bytes(data, size);
  const std::string_view code = fuzz::NextLine(&rest);
  std::vector<std::string_view> records;
  while (!rest.empty() && records.size() < 64) records.push_back(fuzz::NextLine(&rest));
  const KeyBuilder builder(code);
  const std::vector<std::string> keys = builder.Keys(records, 2);
  std::string key;
  for (std::size_t i = 0; i < records.size(); ++i) {
    builder.Key(records[i], &key);
    const std::string literal =
        reference::Encode(reference::BuildKey(reference::Decode(code), reference::Decode(records[i])));
    FUZZ_CHECK(key == literal);
    FUZZ_CHECK(keys[i] == key && BuildKey(code, records[i]) == key);
  }
  return 0;
}
