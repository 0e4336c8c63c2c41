// Duplicate keys: the record string, the street normalisation and the key.
//
// A record string joins the values of one record with "|" in the order
//   1 PLZ | 2 Ort | 3 Straße | 4 Suchbegriff | 5 Bez1 | 6 Bez2 | 7 Bez3 | 8 Bez4 | 9 Kundengruppe
// Items may be empty or missing; later items are reached by field numbers 10-50.
//
// Every function takes UTF-8 (invalid bytes read as Windows-1252), returns
// valid UTF-8, never throws (noexcept: memory running out ends the process)
// and never changes its arguments.
#ifndef KORVIX_KEY_BUILDER_H_
#define KORVIX_KEY_BUILDER_H_

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/algorithm_code.h"
#include "korvix/export.h"

namespace korvix {

// Returns `bytes` as the component sees them: valid UTF-8 in NFC, with every
// byte that is not part of valid UTF-8 read as a Windows-1252 character. A
// host that prints record strings next to their keys uses this for the output.
KORVIX_EXPORT std::string NormalizeText(std::string_view bytes);

// Returns item `index` (counted from 1) of the "|"-separated `text`. An index
// of 1 or less gives item 1, an index past the last item gives "".
KORVIX_EXPORT std::string GetDataField(std::string_view text, int index) noexcept;

// Upper-cases `value` (ß stays ß) and shortens the street words: every
// " STRASSE", " STRAßE" and " STR" loses its blank, and every "STRASSE" and
// "STRAßE" becomes "STR". "Lange Straße 12" gives "LANGESTR 12".
KORVIX_EXPORT std::string NormalizeStreet(std::string_view value) noexcept;

// Returns the duplicate key of record string `data` under `algorithm`: for
// each slot, the field value (trimmed; the street normalised; replaced by its
// phonetic code when the switch is on) cut or filled with "-" to the slot's
// length from the left or the right. The key is as long as the sum of the
// slot lengths. Parses the code on every call; use KeyBuilder for many records.
KORVIX_EXPORT std::string BuildKey(std::string_view algorithm, std::string_view data) noexcept;

// An algorithm code parsed once, for keying many records. Gives exactly the
// keys of BuildKey. Thread-safe: one builder may key on many threads at once.
class KORVIX_EXPORT KeyBuilder {
 public:
  explicit KeyBuilder(std::string_view algorithm) noexcept;

  // The slots that build the key, as the key builder reads them.
  const std::vector<AlgorithmSlot>& slots() const { return slots_; }

  // Characters in every key, or -1 when a negative length makes it vary.
  int key_length() const { return key_length_; }

  // Returns the key of one record string.
  std::string Key(std::string_view record) const noexcept;

  // Replaces `*key` with the key of `record`; reuses its storage, so a loop
  // over many records allocates nothing once the string has grown.
  void Key(std::string_view record, std::string* key) const noexcept;

  // Keys of `records` in order, built on `threads` threads (0: every processor this process may use).
  std::vector<std::string> Keys(std::span<const std::string_view> records,
                                unsigned threads = 0) const noexcept;
  std::vector<std::string> Keys(std::span<const std::string> records,
                                unsigned threads = 0) const noexcept;

 private:
  std::vector<AlgorithmSlot> slots_;
  int key_length_ = 0;
  int items_needed_ = 0;  // record items that the slots read, counted from 1
};

}  // namespace korvix

#endif  // KORVIX_KEY_BUILDER_H_
