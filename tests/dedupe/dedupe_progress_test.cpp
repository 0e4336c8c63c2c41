// The progress line and the printable form of records.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "dedupe/printable.h"
#include "dedupe/progress.h"
#include "korvix/text.h"

namespace korvix::cli {
namespace {

TEST(Progress, LineShowsShareRecordsAndRate) {
  const struct {
    std::uint64_t bytes;
    std::optional<std::uint64_t> total;
    std::uint64_t records;
    double seconds;
    const char* line;
  } cases[] = {
      {50, 200, 1234567, 2.0, "25% read, 1,234,567 records, 617,283 records/s"},
      {200, 200, 1, 0.5, "100% read, 1 record, 2 records/s"},
      {0, 200, 0, 0.0, "0% read, 0 records"},
      {std::uint64_t{3} << 30, std::nullopt, 999, 1.0, "3,072 MB read, 999 records, 999 records/s"},
      {10, 0, 5, 1.0, "0 MB read, 5 records, 5 records/s"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatProgress(c.bytes, c.total, c.records, c.seconds), c.line);
  }
}

// What a Progress writes to its stream.
std::string Shown(bool terminal, std::optional<std::uint64_t> total, std::uint64_t bytes) {
  std::FILE* f = std::tmpfile();
  {
    Progress progress(terminal, total, f);
    progress.Update(bytes, 10);
  }
  std::string text(static_cast<std::size_t>(std::ftell(f)), '\0');
  std::rewind(f);
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  return text;
}

TEST(Progress, OnlyOnATerminalAndOnlyForLargeInputs) {
  EXPECT_EQ(Shown(false, kLargeInput, kLargeInput / 2), "");
  EXPECT_EQ(Shown(true, kLargeInput - 1, 100), "");
  EXPECT_EQ(Shown(true, std::nullopt, kLargeInput - 1), "");
  const std::string large = Shown(true, kLargeInput * 2, kLargeInput);
  EXPECT_EQ(large.rfind("\r50% read, 10 records", 0), 0u) << large;
  EXPECT_TRUE(large.ends_with("\r\033[K")) << "the line is erased at the end";
  EXPECT_EQ(Shown(true, std::nullopt, kLargeInput).rfind("\r16 MB read", 0), 0u);
}

TEST(Printable, SameAsTheComponentsNormalisedText) {
  const std::string cases[] = {
      "",
      "12345|Berlin|Hauptstraße 5",
      "M\xFCller|K\xF6ln",              // Windows-1252
      "Mu\xCC\x88ller",                 // u + combining diaeresis: NFC makes ü
      "\xC3",                           // a lead byte at the end
      "\xC3\x28",                       // a lead byte without its follower
      "\xC2\xA0\xCB\xBF\xCC\x80",       // U+00A0, U+02FF, then U+0300
      "\xE2\x82\xAC 5",                 // the euro sign, three bytes
      "\x80\x9F",                       // Windows-1252 € and Ÿ
      std::string("a\0b", 3),
  };
  for (const std::string& c : cases) {
    std::string out = "x";
    AppendPrintable(c, &out);
    EXPECT_EQ(out, "x" + NormalizeText(c)) << c;
  }
  std::string n;
  AppendNumber(0, &n);
  AppendNumber(18446744073709551615u, &n);
  EXPECT_EQ(n, "018446744073709551615");
}

}  // namespace
}  // namespace korvix::cli
