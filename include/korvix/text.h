// Text as the component's messages and JSON write it. (How it reads text,
// NormalizeText, is with the keys in korvix/key_builder.h.)
#ifndef KORVIX_TEXT_H_
#define KORVIX_TEXT_H_

#include <string>
#include <string_view>

#include "korvix/export.h"

namespace korvix {

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
