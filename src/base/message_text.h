// Bytes from outside (an argument, a file name, a CSV header) as a message
// quotes them.
#ifndef KORVIX_BASE_MESSAGE_TEXT_H_
#define KORVIX_BASE_MESSAGE_TEXT_H_

#include <string>
#include <string_view>

#include "base/text.h"

namespace korvix::base {

// `bytes` as valid UTF-8: well-formed UTF-8 as it stands, every other byte
// as \xNN, so that a message stays valid UTF-8 whatever it quotes and still
// shows which bytes were given. Inline, so that the command line shares it
// without an exported symbol.
inline std::string MessageText(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const text::Character c = text::DecodeCharacter(bytes, i);
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (c.length == 1 && b >= 0x80) {
      out += "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0xF]);
    } else {
      out.append(bytes.substr(i, c.length));
    }
    i += c.length;
  }
  return out;
}

}  // namespace korvix::base

#endif  // KORVIX_BASE_MESSAGE_TEXT_H_
