// A record as verification reads it: what kind of customer it is, its
// names word by word with what each word is, its address in parts.
//
// A profile is made from a record's profile text (ProfileTextOf): the
// normalised PLZ, Ort, Straße, Suchbegriff, Bez1 and Bez2, and what the
// normaliser took off the names (a legal form, a title), which the text no
// longer shows but which tells a firm from a person.
#ifndef KORVIX_DEDUPE_PROFILE_H_
#define KORVIX_DEDUPE_PROFILE_H_

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dedupe/core/big_allocator.h"
#include "dedupe/compare/first_names.h"
#include "dedupe/compare/normalize.h"

namespace korvix::dedupe {

// The items of a record that a profile reads (bit n: item n): PLZ, Ort,
// Straße, Bez1, Bez2.
constexpr std::uint64_t kProfileItems = 0b1101110;

// Sets `*out` to the profile text of a record that a Normalizer (of at
// least kProfileItems) has just normalised into `normal`, whose marks() are
// `marks`: the normalised items through Bez2, "|", and the marks as a digit.
// `normal` may view `*out`.
void ProfileTextOf(std::string_view normal, unsigned marks, std::string* out);

// A text of a profile with its first eight bytes at hand: most comparisons
// of two texts are decided by those, without reading either text, which
// for millions of pairs of records scattered in memory is what costs.
// Millions of these are held, four a record and one a name word, in 16
// bytes each: the address of the text (below 2^48 on every 64-bit system
// this runs on) shares a word with its size.
class ProfileText {
 public:
  ProfileText() = default;
  // REQUIRES: when text.size() >= kLong, the eight bytes before text.data()
  // hold its size (as ProfileMaker keeps such a text).
  explicit ProfileText(std::string_view text)
      : where_(reinterpret_cast<std::uintptr_t>(text.data()) << 16 | std::min<std::size_t>(text.size(), kLong)) {
    // An empty view may have no data at all, and memcpy takes no null.
    if (!text.empty()) std::memcpy(&head_, text.data(), std::min<std::size_t>(text.size(), 8));
  }
  operator std::string_view() const { return {data(), size()}; }  // NOLINT: a text is read as one
  bool empty() const { return (where_ & kLong) == 0; }
  std::size_t size() const {
    std::size_t size = where_ & kLong;
    if (size == kLong) std::memcpy(&size, data() - sizeof size, sizeof size);
    return size;
  }
  char operator[](std::size_t i) const { return data()[i]; }
  std::uint64_t head() const { return head_; }
  friend bool operator==(const ProfileText& a, const ProfileText& b) {
    if (a.head_ != b.head_ || (a.where_ & kLong) != (b.where_ & kLong)) return false;
    return a.size() <= 8 || std::string_view(a).substr(8) == std::string_view(b).substr(8);
  }

  // Texts of this size and longer keep their size before their bytes.
  static constexpr std::size_t kLong = 0xFFFF;

 private:
  const char* data() const { return reinterpret_cast<const char*>(where_ >> 16); }
  std::uint64_t head_ = 0;    // its first eight bytes, zero-filled
  std::uintptr_t where_ = 0;  // its address << 16 | its size up to kLong
};
static_assert(sizeof(ProfileText) == 16);

// What a record says its customer is. A legal form or a firm word (Praxis,
// Autohaus, Bäckerei, Verein ...) makes an organisation; a title, or a known
// first name or an initial beside another word, a person; anything else
// (a surname alone) does not tell.
enum class CustomerKind : std::uint8_t { kUnknown, kPerson, kOrganisation };

// A house number as written ("12", "12A", "89-91"): the numbers it spans
// and its letter. Digits misread as letters ("1O", "l2") are read as digits.
struct HouseNumber {
  std::uint32_t from = 0, to = 0;  // equal unless a range
  char letter = 0;                 // 0 for none
  bool known = false;              // false: no number, or none that reads as one
};
HouseNumber ParseHouseNumber(std::string_view text);

struct Profile {
  // Where the customer lives: shared by the profiles of one postcode and
  // town, which files hold by the thousand.
  struct Place {
    ProfileText plz, town;
  };
  const ProfileText& plz() const { return place_->plz; }
  const ProfileText& town() const { return place_->town; }
  void set_place(const Place* place) { place_ = place; }

  ProfileText street, number;  // street without the number, number as written
  // Millions of these are held while a run verifies: a word keeps what its
  // comparisons need in 32 bytes, and reads the rest from its text.
  class Word {
   public:
    Word() = default;
    // `first`: the word as a first name (none for a firm's word); `in_bez2`:
    // from Bez2 ("Inh. Hans Dietz" names a firm's owner, not the firm).
    Word(ProfileText text, std::uint64_t sound, const FirstName& first, bool in_bez2)
        : text(text),
          sound(sound),
          // Bits 0-7: its groups (at most 255 are kept), 8-30: where they
          // start in the list, 31: in_bez2.
          standing_(static_cast<std::uint32_t>(std::min<std::size_t>(first.groups.size(), 255)) |
                    (first.known() ? first.groups_at << 8 : 0) | (in_bez2 ? std::uint32_t{1} << 31 : 0)) {}

    ProfileText text;
    std::uint64_t sound = 0;  // SoundKey of its phonetic code
    float share = 0;          // of the run's records whose name has it; 0 when few or not counted

    bool initial() const { return text.size() == 1; }  // an abbreviated first name
    bool in_bez2() const { return standing_ >> 31 != 0; }
    std::span<const std::uint16_t> first_names() const {
      return FirstNameGroups(standing_ >> 8 & (kFirstNameGroupsMost - 1), standing_ & 0xFF);
    }
    bool known_first_name() const { return (standing_ & 0xFF) != 0; }
    bool given() const { return initial() || known_first_name(); }
    friend bool operator==(const Word&, const Word&) = default;

   private:
    std::uint32_t standing_ = 0;
  };
  static_assert(sizeof(Word) == 32, "a name word is held millions of times");
  // The words of Bez1 and Bez2, the first kMostWords of them (a name is
  // compared by its first few words; more are rubbish in the field).
  static constexpr std::size_t kMostWords = 0xFFFF;
  std::span<const Word> name() const { return {words_, word_count_}; }
  std::span<Word> name() { return {words_, word_count_}; }
  void set_name(std::span<Word> words) {
    words_ = words.data();
    word_count_ = static_cast<std::uint16_t>(words.size());
  }

  HouseNumber house;
  std::uint32_t street_letters = 0;
  CustomerKind kind : 2 = CustomerKind::kUnknown;
  bool junior : 1 = false;
  bool senior : 1 = false;

 private:
  // A view of the words would take 16 bytes in each of millions of profiles.
  std::uint16_t word_count_ = 0;  // beside the bits above: 72 bytes in all
  static constexpr Place kNowhere{};
  const Place* place_ = &kNowhere;
  Word* words_ = nullptr;
};
static_assert(sizeof(Profile) == 72, "a profile is held millions of times");

// A phonetic code as one number, equal for equal codes: its bytes for a
// code of eight or fewer, else a hash of them with the top bit set (a code
// holds capitals only). 0 for no code.
std::uint64_t SoundKey(std::string_view code);

// Bit c % 32 of each byte c of `s`: a character of another text whose bit is
// not set here has no equal in `s`.
std::uint32_t Letters(std::string_view s);
// The same, from the first eight bytes kept where the text has no more: the
// text itself lies elsewhere in memory.
inline std::uint32_t Letters(const ProfileText& text) {
  if (text.size() > 8 || std::endian::native != std::endian::little) return Letters(std::string_view(text));
  std::uint32_t letters = 0;
  std::uint64_t head = text.head();
  for (std::size_t i = 0; i < text.size(); ++i, head >>= 8) letters |= std::uint32_t{1} << (head & 31);
  return letters;
}

class NameWordCounts;

// Makes profiles and holds what their views point into, in a few large
// blocks that never move: a profile lives as long as its maker, which may
// be moved. One maker serves one thread.
class ProfileMaker {
 public:
  // Blocks of `block` bytes at least: the default maps them on their own
  // (BigArray), for millions of profiles; a few profiles, made while
  // someone waits, take small ones from the heap.
  explicit ProfileMaker(std::size_t block = kBigAllocation) : block_(block) {}

  // The profile of a profile text (ProfileTextOf). Profiles of one name
  // share its words: files from few names hold each once, not per record.
  Profile Make(std::string_view profile_text);
  // Once all are made: lets go of what making them took beside them.
  void Finish();
  // Sets the share of every name word it holds (NameWordCounts::SetShares):
  // each word once, however many profiles share it, so that makers can set
  // theirs on threads of their own.
  void SetShares(const NameWordCounts& counts, std::uint64_t records);
  // The bytes of its blocks.
  std::size_t memory() const;

 private:
  // Room for `bytes` more bytes and `words` more words in the current blocks.
  void Reserve(std::size_t bytes, std::size_t words);
  // `text` kept in the current text block (Reserve), or where an equal one
  // was kept before: most texts of a file recur (its towns, streets,
  // surnames). A text of kLong bytes or more keeps its size before it.
  std::string_view Keep(std::string_view text);
  // The place of `plz` and `town` (as Keep returned them), made once.
  const Profile::Place* KeepPlace(std::string_view plz, std::string_view town);

  // What was kept before, by hash (open addressing, grown as it fills):
  // each slot holds the hash's upper bits, a size (below 2^16) in the lower
  // 16, and where the thing lies.
  class Seen {
   public:
    // The first thing of `hash` and `size` that same(at) says is equal, or null.
    template <class Same>
    void* Find(std::uint64_t hash, std::size_t size, const Same& same) const;
    // REQUIRES: 0 < size < 2^16.
    void Add(std::uint64_t hash, std::size_t size, void* at);
    void Clear();

   private:
    struct Slot {
      std::uint64_t tag = 0;  // 0: free
      void* at = nullptr;
    };
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
  };

  std::size_t block_;
  std::vector<std::unique_ptr<BigArray<char>>> text_blocks_;
  std::vector<std::unique_ptr<BigArray<Profile::Word>>> word_blocks_;
  char* text_ = nullptr;
  std::size_t text_left_ = 0;
  Profile::Word* words_ = nullptr;
  std::size_t words_left_ = 0;
  std::vector<std::size_t> words_used_;  // of each word block
  Seen names_seen_, texts_seen_, places_seen_;  // while profiles are made
  std::vector<std::unique_ptr<Profile::Place>> places_;  // a few thousand, that never move
  std::vector<Profile::Word> name_;  // the current record's words, their texts not yet kept
  // One record's name words with where their codes end in sounds_, and its street.
  struct NameWord {
    std::string_view text;
    std::size_t sound_end;
    FirstName first;  // where a person's first name stands, else unknown
  };
  std::vector<NameWord> names_;
  std::string folded_, sounds_, street_, town_;
};

// Profiles of some records, and the makers that hold what they view.
struct ProfileList {
  // Each distinct profile once: records whose texts are the same (copies)
  // share one.
  BigVector<Profile> profiles;
  std::vector<ProfileMaker> makers;
  // By place: the profile of that place in `profiles`, in ascending order
  // but for copies; empty when each place has its own, at its place.
  BigVector<std::uint32_t> profile_of;
  std::uint32_t index(std::uint32_t place) const { return profile_of.empty() ? place : profile_of[place]; }
  const Profile& at(std::uint32_t place) const { return profiles[index(place)]; }
  std::size_t memory() const {
    std::size_t bytes = profiles.capacity() * sizeof(Profile) + 4 * profile_of.capacity();
    for (const ProfileMaker& m : makers) bytes += m.memory();
    return bytes;
  }
};

// How many records' names hold each name word but first names, by a hash
// of the word: counted over the records a run compares, or over parts of
// them counted apart and added up (Words, then Add).
class NameWordCounts {
 public:
  NameWordCounts();
  // Counts the words of each profile's name, a word twice in one name
  // once; `times[i]` records have profile i (empty: one each).
  void Add(std::span<const Profile> profiles, std::span<const std::uint32_t> times = {});
  void Add(std::uint64_t word, std::uint32_t count);
  // Sets the share of every counted word of `profiles`: of `records`
  // records, those whose name has it; 0 for a word of fewer than eight.
  void SetShares(std::span<Profile> profiles, std::uint64_t records) const;
  void SetShares(std::span<Profile::Word> words, std::uint64_t records) const;
  // Every word with its count.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> Words() const;

 private:
  // An open-addressing table of the words' hashes, grown as it fills: a
  // word is a few bytes, and a node-based map would cost more than the
  // scoring it serves.
  struct Slot {
    std::uint64_t hash = 0;  // 0: free
    std::uint32_t count = 0;
  };
  // The slot of `hash`, or the free one where it would go.
  std::size_t At(std::uint64_t hash) const;
  void Prefetch(const Profile::Word& w) const;
  void Prefetch(std::span<const Profile> profiles, std::size_t i) const;
  std::vector<Slot> table_;
  std::size_t used_ = 0;
};

// Sets the share of every name word but first names: of the profiles,
// those whose name has that word, 0 for a word of fewer than eight. Rare
// names are stronger evidence than common ones, and how common a name is
// depends on the file: Müller in one town, Yılmaz in another.
void CountNameWords(std::span<Profile> profiles);

// The profiles of `records` (ascending), that of records[k] at places[k],
// from their profile texts, the name words counted among them (as a run
// counts them).
template <class TextOf>
ProfileList MakeProfiles(std::span<const std::uint32_t> records, std::span<const std::uint32_t> places,
                         const TextOf& text_of) {
  ProfileList list;
  list.profiles.resize(records.size());
  list.makers.emplace_back(std::size_t{16} << 10);  // few profiles: small blocks from the heap
  for (std::size_t k = 0; k < records.size(); ++k) list.profiles[places[k]] = list.makers[0].Make(text_of(records[k]));
  list.makers[0].Finish();
  CountNameWords(list.profiles);
  return list;
}

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_PROFILE_H_
