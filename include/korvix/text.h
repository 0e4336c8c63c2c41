// Text as the component reads it.
#ifndef KORVIX_TEXT_H_
#define KORVIX_TEXT_H_

#include <string>
#include <string_view>

#include "korvix/export.h"

namespace korvix {

// Returns `bytes` as the component sees them: valid UTF-8 in NFC, with every
// byte that is not part of valid UTF-8 read as a Windows-1252 character. A
// host that prints record strings next to their keys uses this for the output.
KORVIX_EXPORT std::string NormalizeText(std::string_view bytes);

}  // namespace korvix

#endif  // KORVIX_TEXT_H_
