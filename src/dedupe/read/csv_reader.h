// Streaming CSV input (RFC 4180) for the korvix command line.
#ifndef KORVIX_DEDUPE_CSV_READER_H_
#define KORVIX_DEDUPE_CSV_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>


namespace korvix::dedupe {

// One record of a CSV file, as CsvReader::Next gives it. The field views stay
// valid until the next call of Next on the same reader.
struct CsvRecord {
  // The fields, quotes removed and doubled quotes undone; every other byte
  // (line breaks inside quotes, blanks, invalid UTF-8) exactly as in the file.
  // Empty when `error` is set.
  std::vector<std::string_view> fields;

  std::uint64_t line = 0;    // 1-based line number where the record starts
  std::uint64_t offset = 0;  // byte offset of its first byte in the input
  std::uint64_t length = 0;  // its bytes, without the CRLF or LF that ends it

  // Empty for a well-formed record. Otherwise a message such as
  // "data.csv: line 12: text after the closing quote of field 3"; the reader
  // has skipped the rest of that record and goes on with the next one.
  std::string error;

  bool ok() const { return error.empty(); }

  // Backing bytes of fields that needed unquoting; the reader's business.
  std::string storage;
};

// Reads CSV records from a file descriptor in constant memory: one block
// buffer plus the current record.
//
// Format: fields separated by the delimiter; a field that starts with a quote
// runs to the matching quote, holds delimiters and line breaks, and writes a
// quote as two. Records end with LF or CRLF outside quotes (a CR before any
// other byte is data); the last record needs no line end. A UTF-8 byte order mark at the start is skipped (offsets
// still count it). Lines without any byte are no records and are skipped.
//
// Malformed records (a quote inside an unquoted field, text after a closing
// quote, a quoted field still open at the end of the input, a record longer
// than the limit) come back with `error` set. After the first two the record
// is taken to end at the next line break; line numbers stay right.
class CsvReader {
 public:
  // The block buffer: bytes[begin, end) are read but not yet used.
  struct Block {
    std::vector<char> bytes;
    std::size_t begin = 0, end = 0;
    std::uint64_t consumed = 0;  // input offset of bytes[0]
    bool eof = false;
  };

  // Passed as `delimiter`: decide from the first line of the input, whichever
  // of ';', ',' and tab occurs most often outside quotes (ties in that order).
  static constexpr char kDetect = 0;
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;
  static constexpr std::size_t kDefaultMaxRecord = std::size_t{1} << 24;

  // Reads `fd`, which stays owned by the caller; `name` is for messages.
  // REQUIRES: `delimiter` is kDetect or a byte other than '"', '\r', '\n'.
  // `block_size` (at least 4 is used) bounds the reads; `max_record` bounds
  // the bytes kept of one record, so an unclosed quote cannot exhaust memory.
  CsvReader(int fd, std::string name, char delimiter = kDetect,
            std::size_t block_size = kDefaultBlock, std::size_t max_record = kDefaultMaxRecord);

  CsvReader(const CsvReader&) = delete;
  CsvReader& operator=(const CsvReader&) = delete;

  // Sets `*record` to the next record and returns true, or returns false at
  // the end of the input. Throws IoError when reading fails.
  bool Next(CsvRecord* record);

  // The delimiter in use; after the first call of Next when it is detected.
  char delimiter() const { return delimiter_; }

  const std::string& name() const { return name_; }

 private:
  friend void ParseCsvRecord(std::string_view, char, CsvRecord*);
  CsvReader(std::string_view bytes, char delimiter);  // reads memory, no BOM check

  bool Fill();  // reads more after the unread bytes; false at end of input
  void Start();
  void DetectDelimiter();
  bool FastRecord(CsvRecord* record);  // a line without quotes; false if not one
  void SlowRecord(CsvRecord* record);  // any other record, quotes and all
  // The steps of SlowRecord over its state; those returning bool return
  // true when the record is complete.
  struct Slow;
  void Keep(Slow& s, const char* bytes, std::size_t n) const;
  bool SlowInputEnds(Slow& s);
  bool SlowUnquoted(Slow& s);
  void SlowQuoted(Slow& s);
  bool SlowAfterQuote(Slow& s);
  std::size_t SkipLine(std::size_t p, std::uint64_t* content_end);
  void Fail(CsvRecord* record, std::uint64_t line, const std::string& what) const;
  std::uint64_t Abs(std::size_t pos) const { return in_.consumed + pos; }

  int fd_;
  std::string name_;
  char delimiter_;
  std::size_t max_record_;
  Block in_;
  std::uint64_t line_ = 1;  // line number of in_.bytes[in_.begin]
  bool started_ = false;
  std::vector<std::size_t> ends_;  // end of each field in the record's storage
};

// Splits the bytes of one record, as CsvRecord::offset and ::length locate it
// in a file, into `record` (line 1, offset 0, fields backed by its storage).
// For reading a record again with pread after a first pass. Empty bytes give
// no fields. REQUIRES: `delimiter` is the one the file was read with.
void ParseCsvRecord(std::string_view bytes, char delimiter, CsvRecord* record);

// The delimiter byte an option value names: ";", ",", "tab" or "\t", or a
// single other byte. Throws UsageError for anything else.
char DelimiterFromOption(std::string_view value);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_CSV_READER_H_
