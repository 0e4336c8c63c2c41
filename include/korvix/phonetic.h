// The phonetic code ("Soundex" in the user interface): one code for many
// German words that sound alike. Meier, Mayer, Meyer and Maier all give "MR".
//
// Unlike Soundex it keeps no first letter and has no digits or fixed length:
// every word is coded and the codes are joined. Codes consist of the capitals
// B C D F G L M Q R only. UTF-8 in; never throws.
#ifndef KORVIX_PHONETIC_H_
#define KORVIX_PHONETIC_H_

#include <string>
#include <string_view>

#include "korvix/export.h"

namespace korvix {

// Returns the phonetic code of `text`: upper-cased; CH, CK, DT, TH shortened;
// umlauts and ß to their base letters; "&" and digits spelled out as words;
// other characters dropped (joining their neighbours); each blank-separated
// word reduced with ReducePhonetic and the codes joined.
// "Müller & Söhne" gives "MLRMDCM", "Haus 12" gives "CMCQ".
KORVIX_EXPORT std::string PhoneticCode(std::string_view text) noexcept;

// Appends the phonetic code of `text` to `*code`: PhoneticCode without a
// string of its own, so a loop that reuses `*code` allocates nothing.
KORVIX_EXPORT void AppendPhoneticCode(std::string_view text, std::string* code) noexcept;

// Returns the code of one word: upper-cased; A E I O U H W Y dropped; a letter
// equal to the last letter kept is dropped as a repeat; every other letter
// replaced by its group letter (BP→B, FV→F, CKS→C, GJ→G, QXZ→Q, DT→D, L, MN→M,
// R). A character outside A-Z stands for itself.
KORVIX_EXPORT std::string ReducePhonetic(std::string_view word) noexcept;

}  // namespace korvix

#endif  // KORVIX_PHONETIC_H_
