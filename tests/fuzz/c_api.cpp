// The C interface on any strings: the C++ results, nothing leaked (the
// sanitizer's leak check), and the dedupe job on the lines as records.
#include <string>
#include <utility>
#include <vector>

#include "fuzz.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/korvix.h"
#include "korvix/phonetic.h"

// The C string's text, released.
static std::string Take(char* s) {
  const std::string text(s);
  korvix_free(s);
  return text;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest = korvix::fuzz::Bytes(data, size);
  const std::string code(korvix::fuzz::NextLine(&rest));  // C strings end at a NUL
  const std::string record(rest);
  const std::string_view c_code(code.c_str()), c_record(record.c_str());
  char* error = nullptr;
  korvix_doublet_functions_t* df = korvix_create_object(record.c_str(), &error);
  FUZZ_CHECK((df == nullptr) == (c_record != "Korvix.DoubletFunctions"));
  korvix_free(std::exchange(error, nullptr));
  korvix_release_object(df);
  df = korvix_create_object("Korvix.DoubletFunctions", nullptr);
  FUZZ_CHECK(Take(korvix_BuildDoubletKey(df, code.c_str(), record.c_str())) == korvix::BuildKey(c_code, c_record));
  FUZZ_CHECK(Take(korvix_TranslateAlgorithm(df, code.c_str())) == korvix::DescribeAlgorithm(c_code));
  FUZZ_CHECK(Take(korvix_GetAlgorithmName(df, nullptr, code.c_str(), record.c_str())) ==
             korvix::DescribeAlgorithm(c_code));
  FUZZ_CHECK(Take(korvix_BuildSoundexString(df, record.c_str())) == korvix::PhoneticCode(c_record));
  korvix_release_object(df);

  std::vector<std::string> lines;
  for (std::string_view r = c_record; !r.empty() && lines.size() < 64;) lines.emplace_back(korvix::fuzz::NextLine(&r));
  std::vector<const char*> records;
  for (const std::string& line : lines) records.push_back(line.c_str());
  const char* algorithms[] = {code.c_str()};
  korvix_dedupe_t* found = korvix_dedupe_records(records.data(), records.size(), algorithms, code.empty() ? 0 : 1,
                                                 static_cast<korvix_bool>(size % 2), size % 3 == 0 ? 0.8 : 0, &error);
  FUZZ_CHECK((found == nullptr) == (error != nullptr));
  for (std::size_t i = 0; found != nullptr && i < records.size(); ++i) {
    FUZZ_CHECK(korvix_dedupe_size(found) == records.size() && korvix_dedupe_line(found, i) == i + 1);
    FUZZ_CHECK(korvix_dedupe_group(found, i) <= korvix_dedupe_groups(found));
  }
  korvix_free(error);
  korvix_dedupe_free(found);
  return 0;
}
