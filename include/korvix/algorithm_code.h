// The algorithm code: how a duplicate key is built, as a plain string.
//
// A code is up to ten 16-character slots written back to back. Slot n holds
//   characters 1-2   field number (1-9, 51-53; 0 ends the code)
//   characters 3-4   length of the key part
//   character  5     direction (1 = from the right, anything else from the left)
//   character  6     phonetic switch (1 = on, anything else off)
//   characters 7-16  filler, never read
// Every sub-field is read with ReadNumber, so damaged codes still read.
//
// Text is UTF-8; a character is a Unicode code point (see text model in README).
#ifndef KORVIX_ALGORITHM_CODE_H_
#define KORVIX_ALGORITHM_CODE_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/export.h"

namespace korvix {

// Field numbers of the record string; 51-53 are compounds of Bez1..Bez4.
enum FieldNumber : int {
  kFieldEnd = 0,
  kFieldPlz = 1,
  kFieldOrt = 2,
  kFieldStrasse = 3,
  kFieldSuchbegriff = 4,
  kFieldBez1 = 5,
  kFieldBez2 = 6,
  kFieldBez3 = 7,
  kFieldBez4 = 8,
  kFieldKundengruppe = 9,
  kFieldBez12 = 51,
  kFieldBez123 = 52,
  kFieldBez1234 = 53,
};

inline constexpr int kMaxSlots = 10;
inline constexpr int kSlotWidth = 16;

// The four numbers of one slot exactly as read; interpretation is the reader's.
struct AlgorithmSlot {
  int field = 0;
  int length = 0;
  int direction = 0;
  int phonetic = 0;

  // The key builder's and the description's reading: only exactly 1 counts.
  bool FromRight() const { return direction == 1; }
  bool Phonetic() const { return phonetic == 1; }

  friend bool operator==(const AlgorithmSlot&, const AlgorithmSlot&) = default;
};

// Returns the leading decimal number of `text`, rounded to a whole number
// (a half goes to the even neighbour). Blanks are skipped, then an optional
// sign, digits and an optional decimal point with digits are taken; the first
// other character ends the number. Returns 0 when there is no number, and
// saturates at the int range. " 3" and "3 " give 3, "-1" gives -1.
KORVIX_EXPORT int ReadNumber(std::string_view text);

// Returns the slot at index `n` (0-9) of `code`, reading positions past the
// end of the code as blanks. Does not stop at an earlier end mark: this is
// how the editor decodes each of its ten rows on its own.
KORVIX_EXPORT AlgorithmSlot ReadSlot(std::string_view code, int n);

// Returns the slots of `code` as the key builder reads them: slot by slot up
// to the first field number 0, at most ten. An empty code has no slots.
KORVIX_EXPORT std::vector<AlgorithmSlot> ReadAlgorithmCode(std::string_view code);

// Writes `slots` as a code, 16 characters each: field and length with two
// digits ("00" pattern), direction and phonetic switch as "0" or "1", then ten
// "0". Stops at the first slot whose field is 0.
// REQUIRES: 0 <= field <= 99 and 0 <= length <= 99 for every slot written,
// so that no number shifts the slots after it.
KORVIX_EXPORT std::string WriteAlgorithmCode(std::span<const AlgorithmSlot> slots);

// Returns what keeps `code` from being one the editor could have written, at
// which character, or "" when it is one: digits only, 16 for each of one to
// ten slots, field numbers 1-9, 51-53 or 10-50, lengths 1 to 99. The key
// builder reads any text, so a code with a typo would key every record
// alike; a host that takes codes from people checks them here first.
KORVIX_EXPORT std::string AlgorithmCodeProblem(std::string_view code);

// Returns the code that `given` stands for: a text with "(" or "[" is a
// readable form (as DescribeAlgorithm writes it) and is turned back into
// its code; any other text must be a code without problem. Throws
// korvix::Error (kInvalidArgument) saying what is wrong and at which
// character.
KORVIX_EXPORT std::string ReadAlgorithm(std::string_view given);

}  // namespace korvix

#endif  // KORVIX_ALGORITHM_CODE_H_
