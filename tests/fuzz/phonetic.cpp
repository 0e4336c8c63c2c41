// The phonetic code of any text: only the nine code letters, and the same
// code sixteen bytes at a time as one byte at a time.
#include "engine/phonetic_code.h"
#include "fuzz.h"
#include "korvix/phonetic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = korvix::fuzz::Bytes(data, size);
  const std::string code = korvix::PhoneticCode(text);
  FUZZ_CHECK(code.find_first_not_of("BCDFGLMQR") == std::string::npos);
  std::string byte_by_byte;
  korvix::engine::AppendPhoneticCodeByteByByte(text, &byte_by_byte);
  FUZZ_CHECK(code == byte_by_byte);
  std::string sse41;
  FUZZ_CHECK(!korvix::engine::AppendPhoneticCodeSse41(text, &sse41) || sse41 == code);
  FUZZ_CHECK(korvix::fuzz::ValidUtf8(korvix::ReducePhonetic(text)));
  return 0;
}
