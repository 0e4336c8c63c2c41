#include "dedupe/match/index_file.h"

#include <bit>
#include <cstring>

#include "dedupe/compare/normalize.h"
#include "dedupe/compare/profile.h"
#include "dedupe/core/error.h"

namespace korvix::dedupe {

static_assert(std::endian::native == std::endian::little, "the index file is read where it lies: little-endian");

namespace {

constexpr char kMagic[8] = {'K', 'V', 'X', 'I', 'N', 'D', 'E', 'X'};

std::size_t Padded(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

// Appends little-endian numbers, strings and padding.
class Out {
 public:
  explicit Out(std::vector<unsigned char>* bytes) : bytes_(*bytes) {}
  template <class T>
  void Put(T value) {
    const auto* p = reinterpret_cast<const unsigned char*>(&value);
    bytes_.insert(bytes_.end(), p, p + sizeof value);
  }
  void Bytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  void String(std::string_view s) {
    Put(static_cast<std::uint32_t>(s.size()));
    Bytes(s.data(), s.size());
  }
  template <class T>
  void Array(const std::vector<T>& v) {
    Bytes(v.data(), v.size() * sizeof(T));
    Pad();
  }
  void Pad() { bytes_.resize(Padded(bytes_.size()), 0); }

 private:
  std::vector<unsigned char>& bytes_;
};

void PutVarint(std::uint64_t v, std::string* out) {
  while (v >= 0x80) {
    out->push_back(static_cast<char>(v | 0x80));
    v >>= 7;
  }
  out->push_back(static_cast<char>(v));
}

// Reads what Out wrote, every step checked against the end.
class In {
 public:
  In(std::span<const unsigned char> bytes, const std::string& name) : bytes_(bytes), name_(name) {}
  [[noreturn]] void Fail(const std::string& what) const {
    throw IoError(name_ + " is no sound index file: " + what);
  }
  const unsigned char* Take(std::size_t n, const char* what) {
    if (n > bytes_.size() - at_) Fail(std::string(what) + " reaches past the end");
    const unsigned char* p = bytes_.data() + at_;
    at_ += n;
    return p;
  }
  template <class T>
  T Get(const char* what) {
    T value;
    std::memcpy(&value, Take(sizeof value, what), sizeof value);
    return value;
  }
  std::string String(const char* what) {
    const auto n = Get<std::uint32_t>(what);
    const unsigned char* p = Take(n, what);
    return std::string(reinterpret_cast<const char*>(p), n);
  }
  // An array of `count` T, padded: viewed where it lies (the bytes are
  // aligned to 8, and so is every array).
  template <class T>
  const T* Array(std::uint64_t count, const char* what) {
    if (count > (bytes_.size() - at_) / sizeof(T)) Fail(std::string(what) + " reaches past the end");
    const unsigned char* p = Take(static_cast<std::size_t>(count) * sizeof(T), what);
    Pad(what);
    return reinterpret_cast<const T*>(p);
  }
  void Pad(const char* what) {
    const std::size_t to = Padded(at_);
    Take(to - at_, what);
  }
  bool done() const { return at_ == bytes_.size(); }

 private:
  std::span<const unsigned char> bytes_;
  const std::string& name_;
  std::size_t at_ = 0;
};

// Reads a varint within [*p, end); false when it does not end there or
// does not fit.
bool GetVarint(const unsigned char** p, const unsigned char* end, std::uint64_t* v) {
  *v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (*p == end) return false;
    const unsigned char b = *(*p)++;
    *v |= std::uint64_t{b & 0x7Fu} << shift;
    if ((b & 0x80) == 0) return true;
  }
  return false;
}

// A record's fields in the blob between `p` and `end`; false when they do
// not fill it exactly.
bool DecodeRecord(const unsigned char* p, const unsigned char* end, IndexRecord* r) {
  std::uint64_t lengths[3];
  if (!GetVarint(&p, end, &r->line)) return false;
  for (std::uint64_t& n : lengths) {
    if (!GetVarint(&p, end, &n)) return false;
  }
  r->derived = lengths[0] == 0;
  if (!r->derived) --lengths[0];
  std::string_view* fields[3] = {&r->profile, &r->id, &r->text};
  for (int f = 0; f < 3; ++f) {
    if (lengths[f] > static_cast<std::uint64_t>(end - p)) return false;
    *fields[f] = std::string_view(reinterpret_cast<const char*>(p), lengths[f]);
    p += lengths[f];
  }
  return p == end;
}

}  // namespace

void DeriveProfile(std::string_view record, std::string* out) {
  thread_local Normalizer normalizer(kProfileItems);
  normalizer.Record(record, out);
  ProfileTextOf(*out, normalizer.marks(), out);
}

std::uint64_t IndexChecksum(std::span<const unsigned char> bytes) {
  // Four lanes of eight bytes, each word multiplied in: the lanes do not
  // wait for each other, so loading a large index costs little more than
  // reading it.
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  std::uint64_t lane[4] = {0x27D4EB2F165667C5ull ^ bytes.size(), 0x165667B19E3779F9ull, 0xC2B2AE3D27D4EB4Full,
                           0x85EBCA77C2B2AE63ull};
  std::size_t i = 0;
  for (; i + 32 <= bytes.size(); i += 32) {
    for (int k = 0; k < 4; ++k) {
      std::uint64_t w;
      std::memcpy(&w, bytes.data() + i + 8 * k, 8);
      lane[k] = std::rotl((lane[k] ^ w) * kMul, 29);
    }
  }
  std::uint64_t h = lane[0];
  for (int k = 1; k < 4; ++k) h = std::rotl((h ^ lane[k]) * kMul, 29);
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, bytes.data() + i, 8);
    h = std::rotl((h ^ w) * kMul, 29);
  }
  std::uint64_t tail = 0;
  std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
  h = (h ^ tail) * kMul;
  return h ^ (h >> 31);
}

std::size_t SlotOf(std::uint64_t hash, std::size_t slots) {
  // The hash's high half scaled to the table, no division. REQUIRES: slots < 2^32.
  return static_cast<std::size_t>(((hash >> 32) * slots) >> 32);
}

std::uint64_t KeyHash(std::string_view key) {
  std::uint64_t h = 0xCBF29CE484222325ull;
  for (const char c : key) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
  // Mixed, so that the high bits SlotOf reads depend on every byte.
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  return h ^ (h >> 33);
}

IndexView::IndexView(std::span<const unsigned char> bytes, const std::string& name) {
  In header(bytes, name);
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kMagic, 8) != 0) {
    throw IoError(name + " is no korvix index file (it does not begin with KVXINDEX)");
  }
  if (bytes.size() < kIndexHeader) header.Fail("its header is cut short");
  if (reinterpret_cast<std::uintptr_t>(bytes.data()) % 8 != 0) header.Fail("its bytes are not aligned");
  header.Take(8, "the header");
  const auto version = header.Get<std::uint32_t>("the header");
  if (version != kIndexVersion) {
    throw IoError(name + " is an index file of format version " + std::to_string(version) +
                  ", this korvix reads version " + std::to_string(kIndexVersion) + ": build it again");
  }
  header.Get<std::uint32_t>("the header");
  const auto size = header.Get<std::uint64_t>("the header");
  const auto checksum = header.Get<std::uint64_t>("the header");
  if (size != bytes.size() - kIndexHeader) {
    header.Fail("it holds " + std::to_string(bytes.size() - kIndexHeader) + " bytes after its header, not " +
                std::to_string(size) + " (cut short or grown)");
  }
  const std::span<const unsigned char> body = bytes.subspan(kIndexHeader);
  if (IndexChecksum(body) != checksum) header.Fail("its checksum does not match (the file is damaged)");

  In in(body, name);
  const auto algorithms = in.Get<std::uint32_t>("the options");
  const auto items = in.Get<std::uint32_t>("the options");
  meta_.normalize = in.Get<std::uint8_t>("the options") != 0;
  in.Take(7, "the options");
  meta_.verify = in.Get<double>("the options");
  meta_.max_candidates = in.Get<std::uint64_t>("the options");
  const auto records = in.Get<std::uint64_t>("the options");
  meta_.skipped = in.Get<std::uint64_t>("the options");
  if (algorithms == 0 || algorithms > 255) in.Fail("it names " + std::to_string(algorithms) + " algorithms");
  if (!(meta_.verify >= 0 && meta_.verify <= 1)) in.Fail("its threshold lies outside 0 to 1");
  if (records > 0xFFFFFFFFu) in.Fail("it claims too many records");
  for (std::uint32_t i = 0; i < items; ++i) meta_.optional_items.push_back(in.Get<std::int32_t>("the options"));
  for (std::uint32_t a = 0; a < algorithms; ++a) {
    DedupeAlgorithm& alg = meta_.algorithms.emplace_back();
    alg.code = in.String("an algorithm");
    alg.name = in.String("an algorithm");
  }
  meta_.id = in.String("the id option");
  in.Pad("the options");

  records_ = static_cast<std::size_t>(records);
  record_end_ = in.Array<std::uint64_t>(records, "the record table");
  const std::uint64_t blob_size = records == 0 ? 0 : record_end_[records - 1];
  blob_ = in.Array<unsigned char>(blob_size, "the records");
  for (std::size_t r = 0; r < records_; ++r) {
    const std::uint64_t begin = r == 0 ? 0 : record_end_[r - 1];
    IndexRecord rec;
    if (record_end_[r] < begin || record_end_[r] > blob_size ||
        !DecodeRecord(blob_ + begin, blob_ + record_end_[r], &rec)) {
      in.Fail("record " + std::to_string(r + 1) + " is damaged");
    }
  }

  for (std::uint32_t a = 0; a < algorithms; ++a) {
    Table& t = tables_.emplace_back();
    const auto keys = in.Get<std::uint64_t>("a key table");
    const auto slots = in.Get<std::uint64_t>("a key table");
    const auto entry_bytes = in.Get<std::uint64_t>("a key table");
    if (slots <= keys || slots > 0xFFFFFFFFu || entry_bytes >= 0xFFFFFFFFu) {
      in.Fail("the key table of algorithm " + std::to_string(a + 1) + " has impossible sizes");
    }
    t.keys = static_cast<std::size_t>(keys);
    t.slots = static_cast<std::size_t>(slots);
    t.entry_bytes = static_cast<std::size_t>(entry_bytes);
    t.slot = in.Array<std::uint32_t>(slots, "a key table");
    t.entries = in.Array<unsigned char>(entry_bytes, "the keys");
    const auto broken = [&](const char* what) {
      in.Fail("the key table of algorithm " + std::to_string(a + 1) + " is damaged (" + what + ")");
    };
    // Every entry read once, its records checked; where each starts.
    std::vector<bool> starts(t.entry_bytes, false);
    std::size_t entries = 0;
    const unsigned char* const end = t.entries + t.entry_bytes;
    for (const unsigned char* p = t.entries; p != end; ++entries) {
      starts[static_cast<std::size_t>(p - t.entries)] = true;
      std::uint64_t length = 0, count = 0, record = 0;
      if (!GetVarint(&p, end, &length) || length > static_cast<std::uint64_t>(end - p)) broken("a key");
      p += length;
      if (!GetVarint(&p, end, &count) || count == 0 || count > records) broken("a key's records");
      for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t step = 0;
        if (!GetVarint(&p, end, &step) || (i > 0 && step == 0) || step >= records - record) {
          broken("a key's records");
        }
        record += step;
      }
    }
    if (entries != keys) broken("a count of keys");
    std::size_t used = 0;
    for (std::size_t s = 0; s < t.slots; ++s) {
      if (t.slot[s] == 0) continue;
      if (t.slot[s] - 1u >= t.entry_bytes || !starts[t.slot[s] - 1u]) broken("a slot");
      ++used;
    }
    if (used != keys) broken("the slots");
  }
  if (!in.done()) in.Fail("bytes follow its last key table");
}

IndexRecord IndexView::record(std::uint32_t r) const {
  IndexRecord rec;
  const std::uint64_t begin = r == 0 ? 0 : record_end_[r - 1];
  DecodeRecord(blob_ + begin, blob_ + record_end_[r], &rec);  // checked when loaded
  return rec;
}

std::string_view IndexView::Entry(const Table& t, std::size_t at, std::vector<std::uint32_t>* records,
                                  std::size_t* next) {
  // Checked when loaded: every varint ends within the entries.
  const unsigned char* p = t.entries + at;
  const unsigned char* const end = t.entries + t.entry_bytes;
  std::uint64_t length = 0, count = 0, record = 0, step = 0;
  GetVarint(&p, end, &length);
  const std::string_view key(reinterpret_cast<const char*>(p), length);
  p += length;
  GetVarint(&p, end, &count);
  for (std::uint64_t i = 0; i < count; ++i) {
    GetVarint(&p, end, &step);
    record += step;
    if (records != nullptr) records->push_back(static_cast<std::uint32_t>(record));
  }
  if (next != nullptr) *next = static_cast<std::size_t>(p - t.entries);
  return key;
}

void IndexView::Find(std::size_t algorithm, std::string_view key, std::vector<std::uint32_t>* out) const {
  const Table& t = tables_[algorithm];
  // At most every slot: a damaged table may have no free one.
  for (std::size_t i = 0, at = SlotOf(KeyHash(key), t.slots); i < t.slots; ++i, at = at + 1 == t.slots ? 0 : at + 1) {
    const std::uint32_t s = t.slot[at];
    if (s == 0) return;
    const unsigned char* p = t.entries + (s - 1);
    std::uint64_t length = 0;
    GetVarint(&p, t.entries + t.entry_bytes, &length);
    if (std::string_view(reinterpret_cast<const char*>(p), length) == key) {
      Entry(t, s - 1, out, nullptr);
      return;
    }
  }
}

IndexWriter::IndexWriter(IndexMeta meta) : meta_(std::move(meta)), tables_(meta_.algorithms.size()) {}

void IndexWriter::AddRecord(const IndexRecord& r) {
  // A profile text is left out where the record string gives it again.
  bool derived = r.derived;
  if (!derived && !r.profile.empty()) {
    DeriveProfile(r.text, &derived_);
    derived = derived_ == r.profile;
  }
  PutVarint(r.line, &blob_);
  PutVarint(derived ? 0 : r.profile.size() + 1, &blob_);
  PutVarint(r.id.size(), &blob_);
  PutVarint(r.text.size(), &blob_);
  if (!derived) blob_.append(r.profile);
  blob_.append(r.id).append(r.text);
  record_end_.push_back(blob_.size());
}

void IndexWriter::AddKey(std::size_t algorithm, std::string_view key, std::span<const std::uint32_t> records) {
  Table& t = tables_[algorithm];
  if (t.entries.size() >= 0xFFFFFFFEu) {
    throw UsageError("the base is too large for an index file: a key table outgrows 4 GiB");
  }
  t.starts.push_back(static_cast<std::uint32_t>(t.entries.size()));
  t.hashes.push_back(KeyHash(key));
  PutVarint(key.size(), &t.entries);
  t.entries.append(key);
  PutVarint(records.size(), &t.entries);
  for (std::size_t i = 0; i < records.size(); ++i) PutVarint(records[i] - (i == 0 ? 0 : records[i - 1]), &t.entries);
}

std::vector<unsigned char> IndexWriter::Finish() const {
  std::vector<unsigned char> bytes(kIndexHeader, 0);
  Out out(&bytes);
  out.Put(static_cast<std::uint32_t>(meta_.algorithms.size()));
  out.Put(static_cast<std::uint32_t>(meta_.optional_items.size()));
  out.Put(static_cast<std::uint8_t>(meta_.normalize ? 1 : 0));
  for (int i = 0; i < 7; ++i) out.Put(std::uint8_t{0});
  out.Put(meta_.verify);
  out.Put(meta_.max_candidates);
  out.Put(static_cast<std::uint64_t>(record_end_.size()));
  out.Put(meta_.skipped);
  for (const int item : meta_.optional_items) out.Put(static_cast<std::int32_t>(item));
  for (const DedupeAlgorithm& a : meta_.algorithms) {
    out.String(a.code);
    out.String(a.name);
  }
  out.String(meta_.id);
  out.Pad();
  out.Array(record_end_);
  out.Bytes(blob_.data(), blob_.size());
  out.Pad();
  for (const Table& t : tables_) {
    if (t.entries.size() >= 0xFFFFFFFFu) {
      throw UsageError("the base is too large for an index file: a key table outgrows 4 GiB");
    }
    const std::size_t keys = t.starts.size();
    // Four fifths full at most: with a good hash few look-ups probe far.
    const std::size_t slots = keys + keys / 4 + 1;
    if (slots > 0xFFFFFFFFu) throw UsageError("the base is too large for an index file: too many keys");
    std::vector<std::uint32_t> slot(slots, 0);
    for (std::size_t k = 0; k < keys; ++k) {
      std::size_t at = SlotOf(t.hashes[k], slots);
      while (slot[at] != 0) at = at + 1 == slots ? 0 : at + 1;
      slot[at] = t.starts[k] + 1;
    }
    out.Put(static_cast<std::uint64_t>(keys));
    out.Put(static_cast<std::uint64_t>(slots));
    out.Put(static_cast<std::uint64_t>(t.entries.size()));
    out.Array(slot);
    out.Bytes(t.entries.data(), t.entries.size());
    out.Pad();
  }
  const std::span<const unsigned char> body(bytes.data() + kIndexHeader, bytes.size() - kIndexHeader);
  const std::uint64_t size = body.size(), checksum = IndexChecksum(body);
  std::memcpy(bytes.data(), kMagic, 8);
  const std::uint32_t version = kIndexVersion;
  std::memcpy(bytes.data() + 8, &version, 4);
  std::memcpy(bytes.data() + 16, &size, 8);
  std::memcpy(bytes.data() + 24, &checksum, 8);
  return bytes;
}

}  // namespace korvix::dedupe
