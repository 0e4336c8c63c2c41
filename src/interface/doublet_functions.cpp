#include "korvix/doublet_functions.h"

#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"
#include "store/quiet_reads.h"

namespace korvix {

std::string DoubletFunctions::BuildDoubletKey(std::string_view Algorithm,
                                              const std::string& Data) const noexcept {
  return BuildKey(Algorithm, Data);
}

std::string DoubletFunctions::TranslateAlgorithm(std::string_view Algorithm) const noexcept {
  return DescribeAlgorithm(Algorithm);
}

std::string DoubletFunctions::GetAlgorithmName(db::Connection* Connection,
                                               std::string_view Algorithm,
                                               std::string_view PersonalNr) const noexcept {
  return store::LookupAlgorithmNameQuietly(Connection, Algorithm, PersonalNr, nullptr);
}

std::string DoubletFunctions::BuildSoundexString(std::string_view Text) const noexcept {
  return PhoneticCode(Text);
}

}  // namespace korvix
