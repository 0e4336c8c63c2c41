#include "csv_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli.h"

namespace korvix::cli {

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
      buf_(std::max(block_size, kMinBlock)) {}

CsvReader::CsvReader(std::string_view bytes, char delimiter)
    : fd_(-1),
      name_("record"),
      delimiter_(delimiter),
      max_record_(bytes.size()),
      buf_(bytes.begin(), bytes.end()),
      end_(bytes.size()),
      eof_(true),
      started_(true) {}

bool CsvReader::Fill() {
  // Callers make sure there is room: either bytes before begin_ to drop, or
  // space after end_. The buffer never grows; long records stream through.
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    consumed_ += begin_;
    end_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    const ssize_t n = ::read(fd_, buf_.data() + end_, buf_.size() - end_);
    if (n > 0) {
      end_ += static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      eof_ = true;
      return false;
    }
    if (errno != EINTR) throw IoError("cannot read " + name_ + ": " + std::strerror(errno));
  }
}

void CsvReader::Start() {
  started_ = true;
  while (end_ - begin_ < 3 && Fill()) {
  }
  if (end_ - begin_ >= 3 && std::memcmp(buf_.data() + begin_, kBom, 3) == 0) begin_ += 3;
  if (delimiter_ == kDetect) DetectDelimiter();
}

void CsvReader::DetectDelimiter() {
  static constexpr char kCandidates[] = {';', ',', '\t'};
  std::size_t counts[3] = {0, 0, 0};
  bool quoted = false;
  std::size_t i = begin_;
  // Looks at the first line, or at as much of it as one buffer holds.
  for (;;) {
    for (; i < end_; ++i) {
      const char c = buf_[i];
      if (c == '"') {
        quoted = !quoted;  // a doubled quote toggles twice
      } else if (!quoted) {
        if (c == '\n') break;
        for (int k = 0; k < 3; ++k) counts[k] += c == kCandidates[k];
      }
    }
    if (i < end_ || eof_ || (begin_ == 0 && end_ == buf_.size())) break;
    const std::size_t seen = i - begin_;
    if (!Fill()) break;
    i = begin_ + seen;
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
    if (begin_ == end_ && !Fill()) return false;
    const char c = buf_[begin_];
    if (c == '\n') {
      ++begin_;
      ++line_;
      continue;
    }
    if (c == '\r') {
      if (begin_ + 1 == end_) Fill();
      if (begin_ + 1 < end_ && buf_[begin_ + 1] == '\n') {
        begin_ += 2;
        ++line_;
        continue;
      }
    }
    break;
  }
  record->line = line_;
  record->offset = Abs(begin_);
  if (!FastRecord(record)) SlowRecord(record);
  return true;
}

// The common case: the record is one line in the buffer without any quote,
// so its fields are views into the buffer and nothing is copied.
bool CsvReader::FastRecord(CsvRecord* record) {
  std::size_t scanned = begin_;
  const char* nl = nullptr;
  for (;;) {
    nl = static_cast<const char*>(std::memchr(buf_.data() + scanned, '\n', end_ - scanned));
    if (nl != nullptr || eof_) break;
    if (begin_ == 0 && end_ == buf_.size()) return false;  // longer than a block
    const std::size_t seen = end_ - begin_;
    if (!Fill()) break;
    scanned = begin_ + seen;
  }
  const char* const line = buf_.data() + begin_;
  const std::size_t stop = nl != nullptr ? static_cast<std::size_t>(nl - buf_.data()) : end_;
  std::size_t len = stop - begin_;
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
  begin_ = nl != nullptr ? stop + 1 : stop;
  ++line_;
  return true;
}

// Any record: a state machine that copies the fields, quotes undone, into
// the record's storage, refilling the buffer as it goes.
void CsvReader::SlowRecord(CsvRecord* record) {
  enum class State { kFieldStart, kUnquoted, kQuoted, kAfterQuote, kAfterQuoteCr };
  std::string& text = record->storage;
  ends_.clear();
  bool overflow = false;
  const auto keep = [&](const char* p, std::size_t n) {
    if (text.size() + n > max_record_) {
      overflow = true;
      n = max_record_ - std::min(max_record_, text.size());
    }
    text.append(p, n);
  };
  const auto field_start = [&] { return ends_.empty() ? std::size_t{0} : ends_.back(); };

  State state = State::kFieldStart;
  std::uint64_t quote_line = line_;
  std::uint64_t content_end = 0;
  std::size_t p = begin_;
  for (;;) {
    if (p == end_) {
      begin_ = p;  // everything before is in the record's storage
      const bool more = Fill();
      p = begin_;
      if (!more) {
        content_end = Abs(p);
        if (state == State::kQuoted) {
          Fail(record, quote_line,
               "the quote that opens field " + std::to_string(ends_.size() + 1) +
                   " is not closed before the end of the input");
        } else if (state == State::kAfterQuoteCr) {
          Fail(record, line_,
               "text after the closing quote of field " + std::to_string(ends_.size() + 1));
        }
        ends_.push_back(text.size());
        break;
      }
    }
    const char c = buf_[p];
    if (state == State::kFieldStart) {
      if (c == '"') {
        state = State::kQuoted;
        quote_line = line_;
        ++p;
      } else {
        state = State::kUnquoted;
      }
    } else if (state == State::kUnquoted) {
      std::size_t q = p;
      while (q < end_ && buf_[q] != delimiter_ && buf_[q] != '\n' && buf_[q] != '"') ++q;
      keep(buf_.data() + p, q - p);
      p = q;
      if (p == end_) continue;
      if (buf_[p] == delimiter_) {
        ends_.push_back(text.size());
        state = State::kFieldStart;
        ++p;
      } else if (buf_[p] == '\n') {
        content_end = Abs(p);
        if (text.size() > field_start() && text.back() == '\r') {
          text.pop_back();
          --content_end;
        }
        ends_.push_back(text.size());
        ++p;
        ++line_;
        break;
      } else {
        Fail(record, line_,
             "quote inside the unquoted field " + std::to_string(ends_.size() + 1));
        p = SkipLine(p, &content_end);
        break;
      }
    } else if (state == State::kQuoted) {
      const char* q = static_cast<const char*>(std::memchr(buf_.data() + p, '"', end_ - p));
      const std::size_t stop = q != nullptr ? static_cast<std::size_t>(q - buf_.data()) : end_;
      keep(buf_.data() + p, stop - p);
      line_ += CountNewlines(buf_.data() + p, stop - p);
      p = stop;
      if (q != nullptr) {
        state = State::kAfterQuote;
        ++p;
      }
    } else if (state == State::kAfterQuote && c == '"') {
      keep("\"", 1);
      state = State::kQuoted;
      ++p;
    } else if (state == State::kAfterQuote && c == delimiter_) {
      ends_.push_back(text.size());
      state = State::kFieldStart;
      ++p;
    } else if (state == State::kAfterQuote && c == '\r') {
      state = State::kAfterQuoteCr;
      ++p;
    } else if (c == '\n') {  // after the closing quote, or after its CR
      content_end = Abs(p) - (state == State::kAfterQuoteCr ? 1 : 0);
      ends_.push_back(text.size());
      ++p;
      ++line_;
      break;
    } else {
      Fail(record, line_,
           "text after the closing quote of field " + std::to_string(ends_.size() + 1));
      p = SkipLine(p, &content_end);
      break;
    }
  }
  begin_ = p;
  record->length = content_end - record->offset;
  if (overflow && record->ok()) {
    Fail(record, record->line,
         "the record is longer than " + std::to_string(max_record_) + " bytes");
  }
  if (record->ok()) {
    ViewFields(ends_, record);
  } else {
    text.clear();
  }
}

// Consumes the rest of a malformed record up to its line break; returns the
// position after it and sets `*content_end` to where the record's bytes end.
std::size_t CsvReader::SkipLine(std::size_t p, std::uint64_t* content_end) {
  bool cr = p > begin_ && buf_[p - 1] == '\r';
  for (;;) {
    const char* nl = static_cast<const char*>(std::memchr(buf_.data() + p, '\n', end_ - p));
    if (nl != nullptr) {
      const std::size_t at = static_cast<std::size_t>(nl - buf_.data());
      if (at > p) cr = buf_[at - 1] == '\r';
      *content_end = Abs(at) - (cr ? 1 : 0);
      ++line_;
      return at + 1;
    }
    if (end_ > p) cr = buf_[end_ - 1] == '\r';
    begin_ = end_;
    if (!Fill()) {
      *content_end = Abs(end_);
      return end_;
    }
    p = begin_;
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

}  // namespace korvix::cli
