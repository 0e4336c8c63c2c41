// How alike two records are: the score that verification keeps or drops a
// candidate pair by.
//
// A record is compared as a profile of its normalised fields. The score is
// the similarity of the names times that of the address:
//   names    the words of Bez1 and Bez2, in any order (so swapped first and
//            last names match), paired one to one, the most alike first
//            (Jaro-Winkler; 0.9 at least when their phonetic codes agree,
//            for Meier/Mayer; an initial matches a word it begins); the name
//            scores as its least alike pair, times 0.9 for each word without
//            a partner (a first name left out). "jun."/"sen." on one side
//            only halves it: father and son share name and address.
//   address  street name (Jaro-Winkler) x house number (1 equal, 0.9 same
//            number with another letter or range, 0.85 one missing, else
//            0.3) x postcode (1 equal, 0.9 one missing, 0.85 one typo, else
//            0.5) x town (1 equal or one missing, 0.95 alike, else 0.7).
// Family members at one address differ in the first name, namesakes in one
// town in the street, firms at one address in every word: each falls below
// a threshold that a typo, a title, an umlaut written out or a swap passes.
#ifndef KORVIX_DEDUPE_SIMILARITY_H_
#define KORVIX_DEDUPE_SIMILARITY_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dedupe/big_allocator.h"

namespace korvix::dedupe {

// A text of a profile with its first eight bytes at hand: most comparisons
// of two texts are decided by those, without reading either text, which
// for millions of pairs of records scattered in memory is what costs.
class ProfileText {
 public:
  ProfileText() = default;
  explicit ProfileText(std::string_view text) : text_(text) {
    // An empty view may have no data at all, and memcpy takes no null.
    if (!text.empty()) std::memcpy(&head_, text.data(), std::min<std::size_t>(text.size(), 8));
  }
  operator std::string_view() const { return text_; }  // NOLINT: a text is read as one
  bool empty() const { return text_.empty(); }
  std::size_t size() const { return text_.size(); }
  char operator[](std::size_t i) const { return text_[i]; }
  friend bool operator==(const ProfileText& a, const ProfileText& b) {
    return a.head_ == b.head_ && a.text_.size() == b.text_.size() &&
           (a.text_.size() <= 8 || a.text_.substr(8) == b.text_.substr(8));
  }

 private:
  std::string_view text_;
  std::uint64_t head_ = 0;  // its first eight bytes, zero-filled
};

// A record as verification compares it: views of its normalised postcode
// and town, its street apart from the house number, and the words of its
// name with their phonetic codes. The views point into the ProfileMaker
// that made it.
struct Profile {
  ProfileText plz, town, street, number;
  struct Word {
    ProfileText text;
    ProfileText sound;          // its phonetic code
    std::uint32_t letters = 0;  // see Letters
  };
  std::span<const Word> name;
  std::uint32_t town_letters = 0, street_letters = 0;
  bool junior = false, senior = false;
};

// Bit c % 32 of each byte c of `s`: a character of another text whose bit is
// not set here has no equal in `s`.
std::uint32_t Letters(std::string_view s);

// Makes profiles and holds what their views point into, in a few large
// blocks that never move: a profile lives as long as its maker, which may
// be moved. One maker serves one thread.
class ProfileMaker {
 public:
  // The profile of a record string that a Normalizer has normalised.
  Profile Make(std::string_view normalized_record);

 private:
  // Room for `bytes` more bytes and `words` more words in the current blocks.
  void Reserve(std::size_t bytes, std::size_t words);

  std::vector<std::unique_ptr<BigArray<char>>> text_blocks_;
  std::vector<std::unique_ptr<BigArray<Profile::Word>>> word_blocks_;
  char* text_ = nullptr;
  std::size_t text_left_ = 0;
  Profile::Word* words_ = nullptr;
  std::size_t words_left_ = 0;
  // One record's name words with where their codes end in sounds_, and its street.
  std::vector<std::pair<std::string_view, std::size_t>> names_;
  std::string sounds_, street_;
};

// Profiles of some records, and the makers that hold what they view.
struct ProfileList {
  BigVector<Profile> profiles;
  std::vector<ProfileMaker> makers;
};

// The score of two profiles, 0 to 1. A score below `floor` may come back as
// any value below `floor`, even as a float: whoever asks only keeps pairs at
// the floor or above. Parts that cannot lift a pair to the floor any more
// are not compared.
double Score(const Profile& a, const Profile& b, double floor = 0);

// The Jaro-Winkler similarity of two byte strings (prefix scale 0.1, at
// most four prefix bytes) over their first 64 bytes, which hold any name:
// 1 for equal strings, 0 when one is empty.
double JaroWinkler(std::string_view a, std::string_view b);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_SIMILARITY_H_
