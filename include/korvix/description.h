// The readable description of an algorithm code, such as
// "3(PLZ)+5(Straße)+4R['sndx:Bez1]", and the way back from it to the code.
#ifndef KORVIX_DESCRIPTION_H_
#define KORVIX_DESCRIPTION_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "korvix/export.h"

namespace korvix {

// Returns one item per slot, joined by "+": the length, "R" when taken from
// the right, then the field label in "(…)", or in "['sndx:…]" when the
// phonetic switch is on. An empty code gives "".
KORVIX_EXPORT std::string DescribeAlgorithm(std::string_view algorithm) noexcept;

// Why a text is not the description of an algorithm code.
struct DescriptionError {
  std::size_t position = 0;  // the 1-based character where the problem is
  std::string message;       // what is wrong there; valid UTF-8 whatever the text
};

// Sets *code to the algorithm code that `description` describes: one to ten
// items joined by "+", each a length of 1 to 99 without leading zeros, an
// optional "R", then a field label (PLZ ... Bez1+2+3+4, exactly as
// DescribeAlgorithm writes it) in "(…)" or "['sndx:…]". The code is written
// as the editor writes codes: direction and phonetic switch "0" or "1", ten
// filler zeros. So DescribeAlgorithm(*code) == description for every text
// accepted, and ParseDescription(DescribeAlgorithm(code)) gives back every
// code of fields 1-9 and 51-53, lengths 1-99 and the editor's digits.
// "3()" is refused: fields 10 to 50 all have the empty label. Returns false,
// with *error (if not null) saying where and why, for any other text.
KORVIX_EXPORT bool ParseDescription(std::string_view description, std::string* code,
                                    DescriptionError* error = nullptr);

}  // namespace korvix

#endif  // KORVIX_DESCRIPTION_H_
