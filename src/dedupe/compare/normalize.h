// Normalising a record before it is keyed and compared (--normalize).
//
// Every rule makes two spellings of one thing one spelling, so that the key
// rules, which compare characters exactly, see them as equal:
//   every field    capitals; Ä/AE, Ö/OE, Ü/UE, ß/SS written AE, OE, UE, SS;
//                  blanks, tabs and no-break spaces one blank, none at the ends
//   PLZ            four digits get their leading zero (a spreadsheet took it);
//                  a "D-" before five digits goes; in five characters of
//                  which three are digits, O I L S B misread for 0 1 1 5 8
//                  are those digits
//   Ort            a qualifier goes: "(Saale)", "/Saale", "am Main", "a. M.",
//                  "i. Br.", "an der ..." (the words after the first from one
//                  of AM AN AUF BEI IM IN OB UNTER VOR or a short abbreviation
//                  such as A. I. V. U.); "St." is SANKT, also glued to the
//                  name ("St.Augustin"); hyphens are blanks
//   Straße         "Str." and "Str" ending a word are STRASSE ("Hauptstr.5" is
//                  HAUPTSTRASSE 5); Dr. Prof. St. Bgm. opening a word are
//                  DOKTOR PROFESSOR SANKT BUERGERMEISTER; a letter after a
//                  house number joins it ("5 a" is 5A); a range of house
//                  numbers is written 89-91 ("89 - 91", "89/91"); hyphens
//                  between letters are blanks
//   Suchbegriff, Bez1-Bez4
//                  "&", "+" and "u." are UND; titles go wherever they stand
//                  (Dr., Prof., Dipl.-Ing., Dipl.-Kfm., Dr.-Ing., med., dent.,
//                  rer. nat., Doktor, Professor ...); legal forms at the end go
//                  (GmbH, mbH, GmbH & Co. KG, AG, KG, OHG, GbR, e.K., e.V., eG,
//                  UG (haftungsbeschränkt), SE, KGaA, Ltd. and the long forms
//                  such as "Gesellschaft mit beschränkter Haftung"), however
//                  dotted or spaced; hyphens are blanks
//   Ort, Straße, Suchbegriff, Bez1-Bez4
//                  a digit that a scanner reads for a letter, 0 1 5 8 between
//                  two letters or opening a word of letters, is that letter
//                  (O L S B): "5traße", "8erlin", "Mü1ler"
// Fields after the ninth only get the rules for every field.
#ifndef KORVIX_DEDUPE_NORMALIZE_H_
#define KORVIX_DEDUPE_NORMALIZE_H_

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/algorithm_code.h"

namespace korvix::dedupe {

// The words of one field as a Normalizer works on them. Strings are kept,
// not freed, between fields and records, so normalising allocates almost
// nothing once the list has grown.
class NormalizedWords {
 public:
  std::size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  std::string& operator[](std::size_t i) { return w_[i]; }
  const std::string& operator[](std::size_t i) const { return w_[i]; }
  std::string& back() { return w_[n_ - 1]; }
  std::string* begin() { return w_.data(); }
  std::string* end() { return w_.data() + n_; }
  const std::string* begin() const { return w_.data(); }
  const std::string* end() const { return w_.data() + n_; }
  void clear() { n_ = 0; }
  std::string& emplace_back() {
    if (n_ == w_.size()) w_.emplace_back();
    w_[n_].clear();
    return w_[n_++];
  }
  void push_back(std::string_view s) { emplace_back().assign(s); }
  void pop_back() { --n_; }
  void resize(std::size_t n) { n_ = std::min(n, n_); }
  // Removes word i, keeping the order of the others.
  void erase(std::size_t i) {
    for (std::size_t k = i; k + 1 < n_; ++k) std::swap(w_[k], w_[k + 1]);
    --n_;
  }
  // Puts `word` before word i.
  void insert(std::size_t i, std::string_view word) {
    emplace_back().assign(word);
    for (std::size_t k = n_ - 1; k > i; --k) std::swap(w_[k], w_[k - 1]);
  }

 private:
  std::vector<std::string> w_;
  std::size_t n_ = 0;
};

// Normalises records. One normaliser serves one thread; keep it for many
// records, it reuses its buffers.
class Normalizer {
 public:
  // Normalises the items whose bits are set in `items` (bit n: item n, from
  // 1; items past 63 always) and leaves the others empty, for a caller that
  // reads only some of them.
  explicit Normalizer(std::uint64_t items = ~std::uint64_t{0}) : items_(items) {}

  // Sets `*out` to the normalised form of record string `record` (the same
  // as korvix::NormalizeRecord for a normaliser of every item); reuses its
  // storage.
  void Record(std::string_view record, std::string* out);

  // Appends the normalised form of one item (1 = PLZ ... 9 = Kundengruppe,
  // others like Kundengruppe).
  void Field(int item, std::string_view value, std::string* out);

  // What the rules took off Bez1 and Bez2 of the last record: a legal form
  // says a firm, a title a person, and neither is left in the text to tell.
  enum Mark : unsigned { kLegalForm = 1, kTitle = 2 };
  unsigned marks() const { return marks_; }

 private:
  void Mark(int item, unsigned marks) {
    if (item == kFieldBez1 || item == kFieldBez2) marks_ |= marks;
  }

  unsigned marks_ = 0;
  std::uint64_t items_;
  NormalizedWords words_;
  std::string scratch_, joined_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_NORMALIZE_H_
