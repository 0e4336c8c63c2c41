// The phonetic code of any text: only the nine code letters.
#include "fuzz.h"
#include "korvix/phonetic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = korvix::fuzz::Bytes(data, size);
  const std::string code = korvix::PhoneticCode(text);
  FUZZ_CHECK(code.find_first_not_of("BCDFGLMQR") == std::string::npos);
  FUZZ_CHECK(korvix::fuzz::ValidUtf8(korvix::ReducePhonetic(text)));
  return 0;
}
