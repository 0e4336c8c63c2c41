#include "dedupe/read/csv_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "dedupe/core/error.h"

namespace korvix::dedupe {

namespace {

constexpr std::size_t kMinBlock = 4;  // room for the BOM and one more byte
constexpr char kBom[] = "\xEF\xBB\xBF";

std::size_t CountNewlines(const char* p, std::size_t n) {
  return static_cast<std::size_t>(std::count(p, p + n, '\n'));
}

// Points `record->fields` at the pieces of its storage that `ends` delimits.
void ViewFields(const std::vector<std::size_t>& ends, CsvRecord* record) {
  std::size_t from = 0;
  for (const std::size_t to : ends) {
    record->fields.emplace_back(record->storage.data() + from, to - from);
    from = to;
  }
}

}  // namespace

CsvReader::CsvReader(int fd, std::string name, char delimiter, std::size_t block_size,
                     std::size_t max_record)
    : fd_(fd),
      name_(std::move(name)),
      delimiter_(delimiter),
      max_record_(max_record),
      in_{.bytes = std::vector<char>(std::max(block_size, kMinBlock))} {}

CsvReader::CsvReader(std::string_view bytes, char delimiter)
    : fd_(-1),
      name_("record"),
      delimiter_(delimiter),
      max_record_(bytes.size()),
      in_{.bytes = std::vector<char>(bytes.begin(), bytes.end()), .end = bytes.size(), .eof = true},
      started_(true) {}

bool CsvReader::Fill() {
  // Callers make sure there is room: either bytes before begin to drop, or
  // space after end. The buffer never grows; long records stream through.
  Block& b = in_;
  if (b.eof) return false;
  if (b.begin > 0) {
    std::memmove(b.bytes.data(), b.bytes.data() + b.begin, b.end - b.begin);
    b.consumed += b.begin;
    b.end -= b.begin;
    b.begin = 0;
  }
  for (;;) {
    const ssize_t n = ::read(fd_, b.bytes.data() + b.end, b.bytes.size() - b.end);
    if (n > 0) {
      b.end += static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      b.eof = true;
      return false;
    }
    if (errno != EINTR) throw IoError("cannot read " + name_ + ": " + std::strerror(errno));
  }
}

void CsvReader::Start() {
  started_ = true;
  while (in_.end - in_.begin < 3 && Fill()) {
  }
  if (in_.end - in_.begin >= 3 && std::memcmp(in_.bytes.data() + in_.begin, kBom, 3) == 0) {
    in_.begin += 3;
  }
  if (delimiter_ == kDetect) DetectDelimiter();
}

void CsvReader::DetectDelimiter() {
  static constexpr char kCandidates[] = {';', ',', '\t'};
  std::size_t counts[3] = {0, 0, 0};
  bool quoted = false;
  std::size_t i = in_.begin;
  // Looks at the whole first line: the buffer grows until it holds the line
  // (up to the longest record kept), so a long header still counts right.
  for (;;) {
    for (; i < in_.end; ++i) {
      const char c = in_.bytes[i];
      if (c == '"') {
        quoted = !quoted;  // a doubled quote toggles twice
      } else if (!quoted) {
        if (c == '\n') break;
        for (int k = 0; k < 3; ++k) counts[k] += c == kCandidates[k];
      }
    }
    if (i < in_.end || in_.eof) break;
    if (in_.begin == 0 && in_.end == in_.bytes.size()) {
      if (in_.bytes.size() >= max_record_) break;
      in_.bytes.resize(std::min(2 * in_.bytes.size(), max_record_));
    }
    const std::size_t seen = i - in_.begin;
    if (!Fill()) break;
    i = in_.begin + seen;
  }
  int best = 0;
  for (int k = 1; k < 3; ++k) {
    if (counts[k] > counts[best]) best = k;
  }
  delimiter_ = kCandidates[best];
}

bool CsvReader::Next(CsvRecord* record) {
  if (!started_) Start();
  record->fields.clear();
  record->error.clear();
  record->storage.clear();
  // Lines without any byte hold no record.
  for (;;) {
    if (in_.begin == in_.end && !Fill()) return false;
    const char c = in_.bytes[in_.begin];
    if (c == '\n') {
      ++in_.begin;
      ++line_;
      continue;
    }
    if (c == '\r') {
      if (in_.begin + 1 == in_.end) Fill();
      if (in_.begin + 1 < in_.end && in_.bytes[in_.begin + 1] == '\n') {
        in_.begin += 2;
        ++line_;
        continue;
      }
    }
    break;
  }
  record->line = line_;
  record->offset = Abs(in_.begin);
  if (!FastRecord(record)) SlowRecord(record);
  return true;
}

// The common case: the record is one line in the buffer without any quote,
// so its fields are views into the buffer and nothing is copied.
bool CsvReader::FastRecord(CsvRecord* record) {
  std::size_t scanned = in_.begin;
  const char* nl = nullptr;
  for (;;) {
    nl = static_cast<const char*>(std::memchr(in_.bytes.data() + scanned, '\n', in_.end - scanned));
    if (nl != nullptr || in_.eof) break;
    if (in_.begin == 0 && in_.end == in_.bytes.size()) return false;  // longer than a block
    const std::size_t seen = in_.end - in_.begin;
    if (!Fill()) break;
    scanned = in_.begin + seen;
  }
  const char* const line = in_.bytes.data() + in_.begin;
  const std::size_t stop =
      nl != nullptr ? static_cast<std::size_t>(nl - in_.bytes.data()) : in_.end;
  std::size_t len = stop - in_.begin;
  if (std::memchr(line, '"', len) != nullptr) return false;
  if (nl != nullptr && len > 0 && line[len - 1] == '\r') --len;

  const char* p = line;
  const char* const last = line + len;
  for (;;) {
    const char* d = static_cast<const char*>(std::memchr(p, delimiter_, last - p));
    if (d == nullptr) {
      record->fields.emplace_back(p, last - p);
      break;
    }
    record->fields.emplace_back(p, d - p);
    p = d + 1;
  }
  record->length = len;
  in_.begin = nl != nullptr ? stop + 1 : stop;
  ++line_;
  return true;
}

// Any record: a state machine that copies the fields, quotes undone, into
// the record's storage, refilling the buffer as it goes.
// Where SlowRecord stands in the record it reads.
struct CsvReader::Slow {
  enum class State { kFieldStart, kUnquoted, kQuoted, kAfterQuote, kAfterQuoteCr };
  CsvRecord* record;
  State state = State::kFieldStart;
  std::uint64_t quote_line;
  std::uint64_t content_end = 0;
  std::size_t p;
  bool overflow = false;

  std::string& text() const { return record->storage; }
};

void CsvReader::Keep(Slow& s, const char* bytes, std::size_t n) const {
  if (s.text().size() + n > max_record_) {
    s.overflow = true;
    n = max_record_ - std::min(max_record_, s.text().size());
  }
  s.text().append(bytes, n);
}

bool CsvReader::SlowInputEnds(Slow& s) {
  s.content_end = Abs(s.p);
  if (s.state == Slow::State::kQuoted) {
    Fail(s.record, s.quote_line,
         "the quote that opens field " + std::to_string(ends_.size() + 1) +
             " is not closed before the end of the input");
  } else if (s.state == Slow::State::kAfterQuoteCr) {
    Fail(s.record, line_, "text after the closing quote of field " + std::to_string(ends_.size() + 1));
  }
  ends_.push_back(s.text().size());
  return true;
}

bool CsvReader::SlowUnquoted(Slow& s) {
  std::size_t q = s.p;
  while (q < in_.end && in_.bytes[q] != delimiter_ && in_.bytes[q] != '\n' && in_.bytes[q] != '"') ++q;
  Keep(s, in_.bytes.data() + s.p, q - s.p);
  s.p = q;
  if (s.p == in_.end) return false;
  if (in_.bytes[s.p] == delimiter_) {
    ends_.push_back(s.text().size());
    s.state = Slow::State::kFieldStart;
    ++s.p;
    return false;
  }
  if (in_.bytes[s.p] == '\n') {
    s.content_end = Abs(s.p);
    const std::size_t field_start = ends_.empty() ? 0 : ends_.back();
    if (s.text().size() > field_start && s.text().back() == '\r') {
      s.text().pop_back();
      --s.content_end;
    }
    ends_.push_back(s.text().size());
    ++s.p;
    ++line_;
    return true;
  }
  Fail(s.record, line_, "quote inside the unquoted field " + std::to_string(ends_.size() + 1));
  s.p = SkipLine(s.p, &s.content_end);
  return true;
}

void CsvReader::SlowQuoted(Slow& s) {
  const char* q = static_cast<const char*>(std::memchr(in_.bytes.data() + s.p, '"', in_.end - s.p));
  const std::size_t stop = q != nullptr ? static_cast<std::size_t>(q - in_.bytes.data()) : in_.end;
  Keep(s, in_.bytes.data() + s.p, stop - s.p);
  line_ += CountNewlines(in_.bytes.data() + s.p, stop - s.p);
  s.p = stop;
  if (q != nullptr) {
    s.state = Slow::State::kAfterQuote;
    ++s.p;
  }
}

bool CsvReader::SlowAfterQuote(Slow& s) {
  const char c = in_.bytes[s.p];
  const bool after_quote = s.state == Slow::State::kAfterQuote;
  if (after_quote && c == '"') {
    Keep(s, "\"", 1);
    s.state = Slow::State::kQuoted;
  } else if (after_quote && c == delimiter_) {
    ends_.push_back(s.text().size());
    s.state = Slow::State::kFieldStart;
  } else if (after_quote && c == '\r') {
    s.state = Slow::State::kAfterQuoteCr;
  } else if (c == '\n') {  // after the closing quote, or after its CR
    s.content_end = Abs(s.p) - (after_quote ? 0 : 1);
    ends_.push_back(s.text().size());
    ++s.p;
    ++line_;
    return true;
  } else {
    Fail(s.record, line_, "text after the closing quote of field " + std::to_string(ends_.size() + 1));
    s.p = SkipLine(s.p, &s.content_end);
    return true;
  }
  ++s.p;
  return false;
}

void CsvReader::SlowRecord(CsvRecord* record) {
  ends_.clear();
  Slow s{.record = record, .quote_line = line_, .p = in_.begin};
  for (bool done = false; !done;) {
    if (s.p == in_.end) {
      in_.begin = s.p;  // everything before is in the record's storage
      const bool more = Fill();
      s.p = in_.begin;
      if (!more) {
        done = SlowInputEnds(s);
        continue;
      }
    }
    switch (s.state) {
      case Slow::State::kFieldStart:
        if (in_.bytes[s.p] == '"') {
          s.state = Slow::State::kQuoted;
          s.quote_line = line_;
          ++s.p;
        } else {
          s.state = Slow::State::kUnquoted;
        }
        break;
      case Slow::State::kUnquoted:
        done = SlowUnquoted(s);
        break;
      case Slow::State::kQuoted:
        SlowQuoted(s);
        break;
      case Slow::State::kAfterQuote:
      case Slow::State::kAfterQuoteCr:
        done = SlowAfterQuote(s);
        break;
    }
  }
  in_.begin = s.p;
  record->length = s.content_end - record->offset;
  if (s.overflow && record->ok()) {
    Fail(record, record->line, "the record is longer than " + std::to_string(max_record_) + " bytes");
  }
  if (record->ok()) {
    ViewFields(ends_, record);
  } else {
    s.text().clear();
  }
}

// Consumes the rest of a malformed record up to its line break; returns the
// position after it and sets `*content_end` to where the record's bytes end.
std::size_t CsvReader::SkipLine(std::size_t p, std::uint64_t* content_end) {
  bool cr = p > in_.begin && in_.bytes[p - 1] == '\r';
  for (;;) {
    const char* nl = static_cast<const char*>(std::memchr(in_.bytes.data() + p, '\n', in_.end - p));
    if (nl != nullptr) {
      const std::size_t at = static_cast<std::size_t>(nl - in_.bytes.data());
      if (at > p) cr = in_.bytes[at - 1] == '\r';
      *content_end = Abs(at) - (cr ? 1 : 0);
      ++line_;
      return at + 1;
    }
    if (in_.end > p) cr = in_.bytes[in_.end - 1] == '\r';
    in_.begin = in_.end;
    if (!Fill()) {
      *content_end = Abs(in_.end);
      return in_.end;
    }
    p = in_.begin;
  }
}

void CsvReader::Fail(CsvRecord* record, std::uint64_t line, const std::string& what) const {
  record->error = name_ + ": line " + std::to_string(line);
  if (line != record->line) record->error += " (record from line " + std::to_string(record->line) + ")";
  record->error += ": " + what;
}

void ParseCsvRecord(std::string_view bytes, char delimiter, CsvRecord* record) {
  CsvReader reader(bytes, delimiter);
  if (!reader.Next(record)) {
    record->fields.clear();
    record->error.clear();
    record->line = 1;
    record->offset = 0;
    record->length = 0;
    return;
  }
  // Fields of the fast path point into the reader's buffer, which dies here.
  if (!record->fields.empty() && record->storage.empty()) {
    std::vector<std::size_t> ends;
    for (const std::string_view f : record->fields) {
      record->storage.append(f);
      ends.push_back(record->storage.size());
    }
    record->fields.clear();
    ViewFields(ends, record);
  }
}

char DelimiterFromOption(std::string_view value) {
  if (value == "tab" || value == "\\t") return '\t';
  if (value == "semicolon") return ';';
  if (value == "comma") return ',';
  if (value.size() == 1 && value[0] != '"' && value[0] != '\r' && value[0] != '\n') {
    return value[0];
  }
  throw UsageError("--delimiter must be ';', ',', 'tab' or one other character, not '" +
                   std::string(value) + "'");
}

}  // namespace korvix::dedupe
