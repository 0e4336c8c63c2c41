// Record bytes and numbers as a report prints them.
#ifndef KORVIX_DEDUPE_PRINTABLE_H_
#define KORVIX_DEDUPE_PRINTABLE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace korvix::dedupe {

// Appends `bytes` as text::AppendNormalized gives them (valid UTF-8 in NFC,
// other bytes read as Windows-1252), without its cost in the common case:
// text that is already UTF-8 of characters below U+0300 (ASCII, the German
// letters, all of Latin-1) is NFC as it stands and is copied.
void AppendPrintable(std::string_view bytes, std::string* out);

// True iff AppendPrintable appends `bytes` as they stand.
bool IsPrintableAsIs(std::string_view bytes);

// Appends `bytes` as a person reads them on a terminal or a page: as
// AppendPrintable gives them, with every control character (U+0000 to
// U+001F, U+007F to U+009F, so also the five bytes that Windows-1252 leaves
// undefined) written as \xNN and a tab as \t, so that nothing in a record
// is invisible or steers the terminal.
void AppendReadable(std::string_view bytes, std::string* out);

// Appends the decimal digits of `n`.
void AppendNumber(std::uint64_t n, std::string* out);

// Appends a score with three decimals, such as "0.912".
void AppendScore(double score, std::string* out);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_PRINTABLE_H_
