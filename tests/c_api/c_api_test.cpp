// The C interface's objects, arguments, memory and errors, driven from C++
// so that its results can be compared with the C++ class.
#include "korvix/korvix.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <string>
#include <utility>

#include "c_api/c_strings.h"
#include "case_file.h"

namespace {

using korvix::c_api::testing::Take;

TEST(CApi, CreateObjectOnlyByItsProgIdAndErrorsReplaceTheEarlierMessage) {
  const std::string no = "no class is registered as ";
  const std::string rest = "; the class of this library is \"Korvix.DoubletFunctions\"";
  const struct {
    const char* prog_id;
    std::string error;  // "" when made
  } cases[] = {{"korvix.doubletfunctions", no + "\"korvix.doubletfunctions\"" + rest},
               {"Korvix.DoubletFunctions", ""},  // keeps the message before
               {nullptr, no + "(null)" + rest},
               {"", no + "\"\"" + rest}};  // frees the message before
  char* error = nullptr;
  std::string last;
  for (const auto& c : cases) {
    korvix_doublet_functions_t* object = korvix_create_object(c.prog_id, &error);
    EXPECT_EQ(object != nullptr, c.error.empty());
    last = c.error.empty() ? last : c.error;
    EXPECT_EQ(std::string(error), last);
    korvix_release_object(object);
  }
  korvix_free(error);
  EXPECT_EQ(korvix_create_object("Nope", nullptr), nullptr) << "no place for the message";
}

TEST(CApi, NullArgumentsReadAsEmptyAndLegacyBytesAsWindows1252) {
  // The class holds no state: a stray null handle works as well as an object.
  EXPECT_EQ(Take(korvix_BuildDoubletKey(nullptr, nullptr, "1|2")), "");
  EXPECT_EQ(Take(korvix_BuildDoubletKey(nullptr, "0103000000000000", nullptr)), "---");
  EXPECT_EQ(Take(korvix_TranslateAlgorithm(nullptr, nullptr)), "");
  EXPECT_EQ(Take(korvix_BuildSoundexString(nullptr, nullptr)), "");
  EXPECT_EQ(Take(korvix_BuildDoubletKey(nullptr, "0506100000000000", "1|2|3|4|M\xFCller")),
            "Müller");
  EXPECT_EQ(Take(korvix_GetAlgorithmName(nullptr, nullptr, nullptr, nullptr)), "");
  korvix_release_object(nullptr);
  korvix_free(nullptr);
}

TEST(CApi, ConnectionsThatCannotBeUsedSayWhyAndReadAsNoTable) {
  char* error = nullptr;
  const std::string missing = ::testing::TempDir() + "korvix-no-such-dir/none.sqlite";
  EXPECT_EQ(korvix_open(missing.c_str(), KORVIX_TRUE, &error), nullptr);
  EXPECT_NE(Take(std::exchange(error, nullptr)).value_or(""), "");
  for (korvix_connection_t* c : {korvix_adopt_sqlite(nullptr), korvix_adopt_postgres(nullptr),
                                 static_cast<korvix_connection_t*>(nullptr)}) {
    EXPECT_EQ(korvix_is_open(c), KORVIX_FALSE);
    EXPECT_EQ(korvix_execute(c, "SELECT 1", &error), KORVIX_FALSE);
    EXPECT_NE(Take(std::exchange(error, nullptr)).value_or(""), "");
    EXPECT_EQ(Take(korvix_GetAlgorithmName(nullptr, c, "0103000000000000", "1")), "3(PLZ)");
    korvix_close(c);
  }
}

TEST(CApi, AlgorithmsGivenByPeopleAreReadOrRefusedWithWhy) {
  char* error = nullptr;
  EXPECT_EQ(Take(korvix_read_algorithm("5(PLZ)", &error)), "0105000000000000");
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(korvix_read_algorithm("01050", &error), nullptr);
  EXPECT_NE(Take(std::exchange(error, nullptr)).value_or("").find("cut short"), std::string::npos);
  EXPECT_EQ(korvix_read_algorithm(nullptr, &error), nullptr);
  EXPECT_EQ(Take(std::exchange(error, nullptr)), "no code given");
}

TEST(CApi, MessagesQuoteBytesThatAreNotUtf8AsHex) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("c_api/cases/quoted_bytes.tsv", 2)) {
    char* error = nullptr;
    EXPECT_EQ(korvix_create_object(c[0].c_str(), &error), nullptr);
    EXPECT_THAT(Take(std::exchange(error, nullptr)).value_or(""), ::testing::HasSubstr("registered as " + c[1]));
    EXPECT_EQ(korvix_use_toolkit(c[0].c_str(), &error), KORVIX_FALSE);
    EXPECT_THAT(Take(std::exchange(error, nullptr)).value_or(""), ::testing::HasSubstr("toolkit " + c[1]));
  }
}

// C has no error codes: an error of any code comes out as the entry's
// failure result with the library's own message.
TEST(CApi, ErrorsOfEveryCodeComeOutAsTheFailureResultWithTheLibrarysMessage) {
  const char* const code[] = {"0103000000000000"};
  const char* const records[] = {"12345|a", "12345|b"};
  korvix_connection_t* memory = korvix_open(":memory:", KORVIX_FALSE, nullptr);
  const struct {
    const char* code;                   // of the korvix::Error behind it
    std::function<bool(char**)> fails;  // true when the result is the failure result
    const char* message;
  } cases[] = {
      {"kInvalidArgument",
       [&](char** e) { return !korvix_dedupe_records(records, 2, code, 1, KORVIX_FALSE, 2, e); },
       "the verification threshold must lie between 0 and 1"},
      {"kIo",
       [&](char** e) { return !korvix_dedupe_file("/nonexistent/k.txt", nullptr, code, 1, 0, 0, e); },
       "/nonexistent/k.txt"},
      {"kIo",
       [&](char** e) {
         korvix_dedupe_set_temp_dir("/nonexistent");
         korvix_dedupe_t* result = korvix_dedupe_records(records, 2, code, 1, KORVIX_FALSE, 0, e);
         korvix_dedupe_set_temp_dir(nullptr);
         return !result;
       },
       "cannot use the temporary folder /nonexistent"},
      {"kRefused",
       [&](char** e) {
         korvix_dedupe_set_memory(16);
         korvix_dedupe_t* result = korvix_dedupe_records(records, 2, code, 1, KORVIX_FALSE, 0, e);
         korvix_dedupe_set_memory(0);
         return !result;
       },
       "the memory limit of 16 bytes is less than the 16.0 MiB a run needs"},
      {"kDatabase", [](char** e) { return !korvix_open("/nonexistent/k.sqlite", KORVIX_FALSE, e); },
       "cannot open database \"/nonexistent/k.sqlite\""},
      {"kDatabase", [&](char** e) { return !korvix_execute(memory, "SELEKT 1", e); }, "syntax error"},
  };
  for (const auto& c : cases) {
    char* error = nullptr;
    EXPECT_TRUE(c.fails(&error)) << c.code;
    EXPECT_THAT(Take(error).value_or(""), ::testing::HasSubstr(c.message)) << c.code;
  }
  korvix_close(memory);
}

// A decision stored through C is honoured by the dedupe calls after
// korvix_dedupe_use_decisions, and one that contradicts it is refused.
TEST(CApi, DecisionsStoredThroughCKeepRecordsApart) {
  const char* const code[] = {"0105000000000000"};
  const char* const records[] = {"12345|a", "12345|b", "12345|c"};
  korvix_connection_t* db = korvix_open(":memory:", KORVIX_FALSE, nullptr);
  std::string id[3];
  for (int i = 0; i < 3; ++i) id[i] = *Take(korvix_record_identity(records[i], nullptr));
  char* error = nullptr;
  EXPECT_EQ(korvix_decide(db, "different", id[0].c_str(), id[2].c_str(), "1001", &error), KORVIX_TRUE);
  EXPECT_EQ(korvix_decide(db, "same", id[0].c_str(), id[1].c_str(), nullptr, &error), KORVIX_TRUE);
  EXPECT_EQ(korvix_decide(db, "same", id[1].c_str(), id[2].c_str(), nullptr, &error), KORVIX_FALSE);
  EXPECT_THAT(Take(std::exchange(error, nullptr)).value_or(""), ::testing::HasSubstr("contradict"));
  ASSERT_EQ(korvix_dedupe_use_decisions(db, &error), KORVIX_TRUE);
  korvix_dedupe_t* result = korvix_dedupe_records(records, 3, code, 1, KORVIX_FALSE, 0, &error);
  EXPECT_EQ(korvix_dedupe_group(result, 0), korvix_dedupe_group(result, 1));
  EXPECT_EQ(korvix_dedupe_group(result, 2), 0u);
  korvix_dedupe_free(result);
  EXPECT_EQ(korvix_dedupe_use_decisions(nullptr, &error), KORVIX_TRUE);
  korvix_close(db);
}

// The matcher through C: built from a file, matched, grown, saved and
// opened again; a file that is no index refused with the library's message.
TEST(CApi, MatcherBuildsMatchesAddsSavesAndOpens) {
  char dir[] = "/tmp/korvix-c-matcher-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string base = std::string(dir) + "/base.txt", index = std::string(dir) + "/base.kxi";
  std::ofstream(base) << "10115|Berlin|Hauptstraße 1|MEIER|Meier|Hans|||K1\n"
                         "20095|Hamburg|Weg 3|SCHULZ|Schulz|Erika|||K2\n";
  char* error = nullptr;
  korvix_matcher_t* m = korvix_matcher_build(base.c_str(), nullptr, 0, KORVIX_FALSE, 0, "9", &error);
  ASSERT_NE(m, nullptr) << error;
  uint32_t number = 0;
  EXPECT_EQ(korvix_matcher_add(m, "01067|Dresden|Am Markt 2|HANS|Hans|Otto|||", "K3", &number, &error), KORVIX_TRUE);
  EXPECT_EQ(number, 2u);
  EXPECT_EQ(korvix_matcher_save(m, index.c_str(), &error), KORVIX_TRUE);
  korvix_matcher_free(m);
  m = korvix_matcher_open(index.c_str(), &error);
  ASSERT_NE(m, nullptr) << error;
  EXPECT_EQ(korvix_matcher_size(m), 3u);
  for (const auto& [record, want, id] : {std::tuple{"10115|Berlin|Hauptstr. 1|MEIER|Meier|Hans|||", 0u, "K1"},
                                         std::tuple{"01067|Dresden|Am Markt 2|HANS|Hans|Otto|||", 2u, "K3"}}) {
    korvix_matches_t* found = korvix_matcher_match(m, record, 10, &error);
    ASSERT_EQ(korvix_matches_size(found), 1u) << record;
    EXPECT_EQ(korvix_matches_record(found, 0), want);
    EXPECT_EQ(Take(korvix_matches_id(found, 0)).value_or(""), id);
    EXPECT_GE(korvix_matches_score(found, 0), 0.7);
    float parts[7];
    korvix_matches_parts(found, 0, parts);
    EXPECT_EQ(parts[6], 1.0f);
    korvix_matches_free(found);
  }
  korvix_matcher_free(m);
  EXPECT_EQ(korvix_matcher_open(base.c_str(), &error), nullptr);
  EXPECT_THAT(Take(error).value_or(""), ::testing::HasSubstr("is no korvix index file"));
  std::filesystem::remove_all(dir);
}

}  // namespace
