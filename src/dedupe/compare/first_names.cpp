#include "dedupe/compare/first_names.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"

namespace korvix::dedupe {

// data/first_names.tsv, compiled in by cmake/embed_text.cmake.
extern const std::string_view kFirstNamesText;

namespace {

// The plain letter of a capital with an accent, for the names that reach a
// customer file without theirs ("JOSE" for José, "SUKRU" for Şükrü); 0 for
// a character that has none.
char PlainLetter(char32_t c) {
  using namespace std::string_view_literals;
  static constexpr std::string_view kLatin1 =  // U+00C0 to U+00DE
      "AAAAAAACEEEEIIIIDNOOOOO\0OUUUUYT"sv;
  if (c >= 0xC0 && c <= 0xDE) return kLatin1[c - 0xC0];
  // Latin Extended-A, U+0100 to U+017F, capitals and small letters alike.
  static constexpr std::string_view kExtendedA =
      "AAAAAACCCCCCCCDDDDEEEEEEEEEEGGGGGGGGHHHHIIIIIIIIII\0\0JJKKKLLLLLLLLLLNNNNNNN\0\0"
      "OOOOOO\0\0RRRRRRSSSSSSSSTTTTTTUUUUUUUUUUUUWWYYYZZZZZZS"sv;
  static_assert(kLatin1.size() == 0xDF - 0xC0 && kExtendedA.size() == 0x180 - 0x100);
  if (c >= 0x100 && c <= 0x17F) return kExtendedA[c - 0x100];
  return 0;
}

struct Key {
  std::string text;
  std::uint16_t group;
  bool weak;  // a fold that gives way to another name's form of the same letters
};

// The keys of one form of a name as written in the list: the word as the
// normaliser gives it, then with its accents and, weakly, its umlauts gone.
void AddKeys(std::string_view form, std::uint16_t group, std::vector<Key>* keys) {
  std::string normal, plain, bare;  // JOSÉ JUERGEN, JOSE JUERGEN, JOSE JURGEN
  bool foldable = true;
  for (const char32_t c : text::Decode(form)) {
    if (c == U'-' || c == U'.' || c == U' ' || c == U'\'') continue;
    const char32_t u = text::Upper(c);
    const char* pair = u == 0xC4 ? "AE" : u == 0xD6 ? "OE" : u == 0xDC ? "UE" : u == 0xDF || u == 0x1E9E ? "SS" : nullptr;
    if (pair != nullptr) {
      normal += pair;
      plain += pair;
      bare.append(pair, pair[1] == 'E' ? 1 : 2);  // the dots lost: JURGEN; ß stays SS
      continue;
    }
    text::AppendUtf8(u, &normal);
    const char p = u < 0x80 ? static_cast<char>(u) : PlainLetter(u);
    if (p == 0) foldable = false;
    plain += p;
    bare += p;
  }
  if (normal.empty()) return;
  keys->push_back({normal, group, false});
  if (foldable && plain != normal) keys->push_back({plain, group, false});
  if (foldable && bare != plain) keys->push_back({bare, group, true});
}

std::uint64_t Hash(std::string_view s) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return h ^ (h >> 29);
}

// The list, read once: every key with its groups, in an open-addressing
// hash table of indices.
class Table {
 public:
  Table() {
    std::vector<Key> keys;
    std::string_view rest = kFirstNamesText;
    while (!rest.empty()) {
      std::size_t end = rest.find('\n');
      if (end == std::string_view::npos) end = rest.size();
      std::string_view line = rest.substr(0, end);
      rest.remove_prefix(std::min(end + 1, rest.size()));
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.empty() || line.front() == '#') continue;
      const std::size_t tab1 = line.find('\t');
      const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
      const std::string_view main = line.substr(0, tab1);
      const std::string_view sex = tab1 == std::string_view::npos ? "" : line.substr(tab1 + 1, tab2 - tab1 - 1);
      std::string_view variants = tab2 == std::string_view::npos ? "" : line.substr(tab2 + 1);
      const auto group = static_cast<std::uint16_t>(group_sex_.size());
      if (group == 0xFFFF) break;
      group_sex_.push_back(sex == "m" || sex == "f" ? sex[0] : 'u');
      const std::size_t first_key = keys.size();
      AddKeys(main, group, &keys);
      group_main_.push_back(keys.size() > first_key ? keys[first_key].text : std::string());
      while (!variants.empty()) {
        const std::size_t comma = variants.find(',');
        AddKeys(variants.substr(0, comma), group, &keys);
        variants.remove_prefix(comma == std::string_view::npos ? variants.size() : comma + 1);
      }
    }

    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
      return a.text != b.text ? a.text < b.text : a.weak != b.weak ? !a.weak : a.group < b.group;
    });
    for (std::size_t i = 0; i < keys.size();) {
      std::size_t j = i;
      Entry e{static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(keys[i].text.size()),
              static_cast<std::uint32_t>(groups_.size()), 0, 0};
      text_ += keys[i].text;
      // A weak fold counts only where no name has those letters of its own.
      const bool weak_only = keys[i].weak;
      for (; j < keys.size() && keys[j].text == keys[i].text; ++j) {
        if (keys[j].weak && !weak_only) continue;
        if (e.groups_size > 0 && groups_.back() == keys[j].group) continue;
        groups_.push_back(keys[j].group);
        ++e.groups_size;
        const char s = group_sex_[keys[j].group];
        e.sex = e.sex == 0 || e.sex == s ? s : 'u';
      }
      std::sort(groups_.begin() + e.groups_begin, groups_.end());
      entries_.push_back(e);
      i = j;
    }
    // The list is compiled in: a longer one fails every test that verifies.
    if (groups_.size() >= kFirstNameGroupsMost) std::abort();

    slots_.assign(std::bit_ceil(entries_.size() * 4 + 1), 0);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const std::uint64_t h = Hash(KeyText(entries_[i]));
      std::size_t at = h & (slots_.size() - 1);
      while (slots_[at] != 0) at = (at + 1) & (slots_.size() - 1);
      slots_[at] = (h >> 32) << 32 | (i + 1);
      longest_ = std::max<std::size_t>(longest_, entries_[i].text_size);
    }
  }

  FirstName Find(std::string_view word) const {
    if (word.size() > longest_) return {};
    const std::uint64_t h = Hash(word);
    std::size_t at = h & (slots_.size() - 1);
    for (; slots_[at] != 0; at = (at + 1) & (slots_.size() - 1)) {
      if ((slots_[at] ^ h) >> 32 != 0) continue;  // another key's hash: no need to read it
      const Entry& e = entries_[(slots_[at] & 0xFFFFFFFF) - 1];
      if (e.text_size == word.size() && std::memcmp(text_.data() + e.text_begin, word.data(), word.size()) == 0) {
        return {groups(e.groups_begin, e.groups_size), e.sex, e.groups_begin};
      }
    }
    return {};
  }

  std::span<const std::uint16_t> groups(std::uint32_t at, std::size_t size) const {
    return std::span<const std::uint16_t>(groups_).subspan(at, size);
  }
  std::size_t group_count() const { return group_main_.size(); }
  std::string_view group_main(std::uint16_t g) const {
    return g < group_main_.size() ? std::string_view(group_main_[g]) : std::string_view();
  }
  std::size_t key_count() const { return entries_.size(); }

 private:
  struct Entry {
    std::uint32_t text_begin, text_size, groups_begin, groups_size;
    char sex;
  };
  std::string_view KeyText(const Entry& e) const { return std::string_view(text_).substr(e.text_begin, e.text_size); }

  std::string text_;                 // every key, one after another
  std::vector<Entry> entries_;
  std::vector<std::uint16_t> groups_;
  // The high half of a key's hash above its index + 1 into entries_; 0 for none.
  std::vector<std::uint64_t> slots_;
  std::size_t longest_ = 0;
  std::vector<char> group_sex_;
  std::vector<std::string> group_main_;
};

const Table& Names() {
  static const Table table;
  return table;
}

}  // namespace

FirstName LookupFirstName(std::string_view word) { return Names().Find(word); }

NameRelation CompareFirstNames(std::string_view a, std::string_view b) {
  const FirstName x = LookupFirstName(a);
  const FirstName y = LookupFirstName(b);
  if (!x.known() || !y.known()) return NameRelation::kUnknown;
  // Both lists are sorted and short (one group, seldom more than three).
  auto i = x.groups.begin();
  auto j = y.groups.begin();
  while (i != x.groups.end() && j != y.groups.end()) {
    if (*i == *j) return NameRelation::kSame;
    if (*i < *j) {
      ++i;
    } else {
      ++j;
    }
  }
  return NameRelation::kDifferent;
}

bool SplitCompoundFirstName(std::string_view word, std::string_view* first, std::string_view* second) {
  constexpr std::size_t kShortest = 2;
  if (word.size() < 2 * kShortest || LookupFirstName(word).known()) return false;
  for (std::size_t at = word.size() - kShortest; at >= kShortest; --at) {
    if (LookupFirstName(word.substr(0, at)).known() && LookupFirstName(word.substr(at)).known()) {
      *first = word.substr(0, at);
      *second = word.substr(at);
      return true;
    }
  }
  return false;
}

std::span<const std::uint16_t> FirstNameGroups(std::uint32_t at, std::size_t size) {
  return Names().groups(at, size);
}
std::size_t FirstNameGroupCount() { return Names().group_count(); }
std::string_view FirstNameGroupName(std::uint16_t group) { return Names().group_main(group); }
std::size_t FirstNameKeyCount() { return Names().key_count(); }

}  // namespace korvix::dedupe
