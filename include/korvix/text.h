// Text as the component reads it, and as its messages and JSON write it.
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

// Returns `bytes` from outside (an argument, a file name, a CSV header) as a
// message quotes them: well-formed UTF-8 as it stands, every other byte as
// \xNN, so that a message stays valid UTF-8 whatever it quotes and still
// shows which bytes were given. The component's own messages quote so.
KORVIX_EXPORT std::string MessageText(std::string_view bytes);

// Returns `text` (valid UTF-8) as a JSON string literal, quotes included, as
// the component's JSON reports write strings.
KORVIX_EXPORT std::string JsonString(std::string_view text);

}  // namespace korvix

#endif  // KORVIX_TEXT_H_
