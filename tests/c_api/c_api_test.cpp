// The C interface's objects, methods, memory and errors, driven from C++ so
// that its results can be compared with the C++ class.
#include "korvix/korvix.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "c_api/c_strings.h"
#include "korvix/doublet_functions.h"

namespace {

using korvix::c_api::testing::Take;
using korvix::c_api::testing::TakeError;

struct ObjectDeleter {
  void operator()(korvix_doublet_functions_t* object) const { korvix_release_object(object); }
};
using Object = std::unique_ptr<korvix_doublet_functions_t, ObjectDeleter>;

const char kCode[] = "010300000000000003050000000000000504110000000000";
const char kRecord[] = "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH|Einkauf|||A";

TEST(CApi, CreateObjectOnlyByItsProgId) {
  struct Case {
    const char* prog_id;
    bool created;
    std::string error;
  };
  const Case cases[] = {
      {"Korvix.DoubletFunctions", true, ""},
      {KORVIX_PROG_ID, true, ""},
      {"korvix.doubletfunctions", false,
       "no class is registered as \"korvix.doubletfunctions\"; the class of this library is "
       "\"Korvix.DoubletFunctions\""},
      {"Korvix.DoubletFunctions ", false,
       "no class is registered as \"Korvix.DoubletFunctions \"; the class of this library is "
       "\"Korvix.DoubletFunctions\""},
      {"Excel.Application", false,
       "no class is registered as \"Excel.Application\"; the class of this library is "
       "\"Korvix.DoubletFunctions\""},
      {"", false,
       "no class is registered as \"\"; the class of this library is \"Korvix.DoubletFunctions\""},
      {nullptr, false,
       "no class is registered as (null); the class of this library is "
       "\"Korvix.DoubletFunctions\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prog_id == nullptr ? "(null)" : c.prog_id);
    char* error = nullptr;
    Object object(korvix_create_object(c.prog_id, &error));
    EXPECT_EQ(object != nullptr, c.created);
    EXPECT_EQ(TakeError(error).value_or(""), c.error);
  }
  // Without a place for the message the outcome is the same.
  EXPECT_EQ(korvix_create_object("Nope", nullptr), nullptr);
}

TEST(CApi, ErrorsReplaceTheEarlierMessage) {
  char* error = nullptr;
  EXPECT_EQ(korvix_create_object("A", &error), nullptr);
  EXPECT_EQ(korvix_create_object("B", &error), nullptr);  // frees "A"'s message
  EXPECT_EQ(TakeError(error).value_or("").substr(0, 29), "no class is registered as \"B\"");
  // Success leaves a message alone.
  EXPECT_EQ(korvix_create_object("C", &error), nullptr);
  char* const kept = error;
  Object object(korvix_create_object(KORVIX_PROG_ID, &error));
  EXPECT_NE(object, nullptr);
  EXPECT_EQ(error, kept);
  EXPECT_EQ(TakeError(error).value_or("").substr(0, 29), "no class is registered as \"C\"");
}

TEST(CApi, MethodsGiveTheResultsOfTheClass) {
  Object object(korvix_create_object(KORVIX_PROG_ID, nullptr));
  ASSERT_NE(object, nullptr);
  const korvix::DoubletFunctions df;
  struct Case {
    const char* code;
    const char* data;
  };
  // NULL reads as "", as an omitted argument does.
  const Case cases[] = {
      {kCode, kRecord}, {"5112000000000000", kRecord},     {kCode, ""},       {kCode, nullptr},
      {"", kRecord},    {nullptr, kRecord},                {"0903000000000000", "1|2|3"},
      // Windows-1252 bytes read as the letters they stand for.
      {"0506100000000000", "1|2|3|4|M\xFCller"},
  };
  for (const Case& c : cases) {
    const std::string code = c.code == nullptr ? "" : c.code;
    const std::string data = c.data == nullptr ? "" : c.data;
    SCOPED_TRACE(code + " / " + data);
    EXPECT_EQ(Take(korvix_BuildDoubletKey(object.get(), c.code, c.data)),
              df.BuildDoubletKey(code, data));
    EXPECT_EQ(Take(korvix_TranslateAlgorithm(object.get(), c.code)), df.TranslateAlgorithm(code));
    EXPECT_EQ(Take(korvix_GetAlgorithmName(object.get(), nullptr, c.code, "1001")),
              df.TranslateAlgorithm(code));
    EXPECT_EQ(Take(korvix_BuildSoundexString(object.get(), c.data)), df.BuildSoundexString(data));
  }
  EXPECT_EQ(Take(korvix_BuildDoubletKey(object.get(), kCode, kRecord)), "123HAUPTRGMB");
  EXPECT_EQ(Take(korvix_TranslateAlgorithm(object.get(), kCode)),
            "3(PLZ)+5(Straße)+4R['sndx:Bez1]");
  EXPECT_EQ(Take(korvix_BuildSoundexString(object.get(), "M\xFCller")), "MLR");
  EXPECT_EQ(Take(korvix_BuildSoundexString(object.get(), nullptr)), "");
}

TEST(CApi, ObjectsShareNothingAndDataStaysUnchanged) {
  Object one(korvix_create_object(KORVIX_PROG_ID, nullptr));
  Object two(korvix_create_object(KORVIX_PROG_ID, nullptr));
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  EXPECT_NE(one.get(), two.get());
  char data[] = "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH|Einkauf|||A";
  const std::string before = data;
  EXPECT_EQ(Take(korvix_BuildDoubletKey(one.get(), kCode, data)),
            Take(korvix_BuildDoubletKey(two.get(), kCode, data)));
  EXPECT_EQ(data, before);
  one.reset();  // releasing one object leaves the other working
  EXPECT_EQ(Take(korvix_BuildSoundexString(two.get(), "Meier")), "MR");
  korvix_release_object(nullptr);
  korvix_free(nullptr);
}

TEST(CApi, ClosedOrMissingConnectionsGiveTheDescription) {
  Object object(korvix_create_object(KORVIX_PROG_ID, nullptr));
  korvix_connection_t* closed = korvix_adopt_sqlite(nullptr);
  ASSERT_NE(closed, nullptr);
  EXPECT_EQ(korvix_is_open(closed), KORVIX_FALSE);
  EXPECT_EQ(korvix_is_open(nullptr), KORVIX_FALSE);
  for (korvix_connection_t* connection : {closed, static_cast<korvix_connection_t*>(nullptr)}) {
    EXPECT_EQ(Take(korvix_GetAlgorithmName(object.get(), connection, kCode, "1001")),
              "3(PLZ)+5(Straße)+4R['sndx:Bez1]");
  }
  char* error = nullptr;
  EXPECT_EQ(korvix_execute(closed, "SELECT 1", &error), KORVIX_FALSE);
  EXPECT_TRUE(TakeError(error).has_value());
  EXPECT_EQ(korvix_execute(nullptr, "SELECT 1", &error), KORVIX_FALSE);
  EXPECT_EQ(TakeError(error), "no connection");
  korvix_close(closed);
  korvix_close(nullptr);

  korvix_connection_t* pg = korvix_adopt_postgres(nullptr);
  EXPECT_EQ(korvix_is_open(pg), KORVIX_FALSE);
  korvix_close(pg);
}

TEST(CApi, OpenReportsWhyItCannot) {
  const std::string missing = ::testing::TempDir() + "korvix-c-api-no-such-dir/none.sqlite";
  struct Case {
    const char* target;
    korvix_bool create;
  };
  for (const Case& c : {Case{missing.c_str(), KORVIX_FALSE}, Case{missing.c_str(), KORVIX_TRUE},
                        Case{nullptr, KORVIX_FALSE}}) {
    SCOPED_TRACE(c.target == nullptr ? "(null)" : c.target);
    char* error = nullptr;
    EXPECT_EQ(korvix_open(c.target, c.create, &error), nullptr);
    EXPECT_FALSE(TakeError(error).value_or("").empty());
  }
}

}  // namespace
