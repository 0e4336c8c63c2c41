// The readable description of an algorithm code, such as
// "3(PLZ)+5(Straße)+4R['sndx:Bez1]".
#ifndef KORVIX_DESCRIPTION_H_
#define KORVIX_DESCRIPTION_H_

#include <string>
#include <string_view>

#include "korvix/export.h"

namespace korvix {

// Returns one item per slot, joined by "+": the length, "R" when taken from
// the right, then the field label in "(…)", or in "['sndx:…]" when the
// phonetic switch is on. An empty code gives "".
KORVIX_EXPORT std::string DescribeAlgorithm(std::string_view algorithm);

}  // namespace korvix

#endif  // KORVIX_DESCRIPTION_H_
