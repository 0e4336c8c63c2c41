// Reading the algorithm list and the owners' names, on every back end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "korvix/algorithm_store.h"
#include "platform/db/backend_fixture.h"
#include "platform/db/statement_log.h"

namespace korvix::db::testing {
namespace {

class StoreTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Seed({{"0201000000000000", "-", "Öffentlich B", "pub"},
          {"0101000000000000", "1001", "Annas", std::nullopt},
          {"0101000000000000", "-", std::nullopt, std::nullopt},
          {"0301000000000000", "1002", "Jürgens", "  "},
          {"0401000000000000", "", "Leerer Besitzer", "x"},
          {"0501000000000000", "x' or '1'='1", "Seltsam", "y"}});
    Exec("INSERT INTO Personalstamm VALUES ('1001', 'Dr.', 'Anna', 'Becker'), "
         "('1002', NULL, ' Jürgen ', 'Schmitz'), ('1003', NULL, NULL, NULL), "
         "('1004', 'Prof.', NULL, '')");
  }

  std::vector<std::string> Codes(const std::vector<AlgorithmEntry>& entries) {
    std::vector<std::string> out;
    for (const AlgorithmEntry& e : entries) out.push_back(e.AlgorithmCode + "/" + e.PersonalNr);
    return out;
  }
};

TEST_P(StoreTest, WhoSeesWhichRowsInCodeOrder) {
  const struct {
    std::string user;
    bool admin;
    std::vector<std::string> rows;
  } cases[] = {
      {"", true,
       {"0101000000000000/1001", "0101000000000000/-", "0201000000000000/-",
        "0301000000000000/1002", "0401000000000000/", "0501000000000000/x' or '1'='1"}},
      {"1001", false, {"0101000000000000/1001", "0101000000000000/-", "0201000000000000/-"}},
      // an empty staff number sees the rows whose owner is empty
      {"", false, {"0101000000000000/-", "0201000000000000/-", "0401000000000000/"}},
      // a quote cannot widen the query: the public rows and that literal owner's
      {"x' or '1'='1", false,
       {"0101000000000000/-", "0201000000000000/-", "0501000000000000/x' or '1'='1"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> codes = Codes(ReadVisibleAlgorithms(connection_.get(), c.user, c.admin));
    // Rows of one code come in the database's own order.
    std::sort(codes.begin(), codes.end());
    std::vector<std::string> expected = c.rows;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(codes, expected) << "user '" << c.user << "' admin " << c.admin;
  }
  const std::vector<std::string> log = StatementLog(*connection_);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "Select * From DoubletAlgorithms Order By AlgorithmCode");
  EXPECT_EQ(log[1],
            "Select * From DoubletAlgorithms Where PersonalNr='1001' or PersonalNr='-' Order By "
            "AlgorithmCode");
}

TEST_P(StoreTest, EntriesReadNullAsEmptyAndKnowTheirTexts) {
  const std::vector<AlgorithmEntry> entries = ReadVisibleAlgorithms(connection_.get(), "1002", false);
  ASSERT_EQ(entries.size(), 3u);
  for (const AlgorithmEntry& e : entries) {
    EXPECT_EQ(e.ReadableText, e.AlgorithmCode == "0101000000000000"   ? "1(PLZ)"
                              : e.AlgorithmCode == "0201000000000000" ? "1(Ort)"
                                                                      : "1(Straße)");
    if (e.AlgorithmCode == "0101000000000000") {
      EXPECT_EQ(e.AlgorithmName, "");  // Null
      EXPECT_EQ(ListText(e), "1(PLZ)");
      EXPECT_EQ(DescriptionText(e), "1(PLZ)");
    }
    if (e.AlgorithmCode == "0301000000000000") {
      EXPECT_EQ(ListText(e), "Jürgens");
      EXPECT_EQ(DescriptionText(e), "1(Straße)");  // only blanks
    }
  }
}

TEST_P(StoreTest, OwnerNames) {
  const struct {
    std::string nr, name;
  } cases[] = {
      {"1001", "Dr. Anna Becker"},
      {"1002", "Jürgen  Schmitz"},  // no title, no leading blank; inner blanks stay
      {"1003", "1003"},            // all Null: the staff number
      {"1004", "Prof."},
      {"9999", "9999"},            // no such row
      {"1001' or '1'='1", "1001' or '1'='1"},
  };
  for (const auto& c : cases) EXPECT_EQ(OwnerName(connection_.get(), c.nr), c.name) << c.nr;
}

TEST_P(StoreTest, FailuresGiveTheDocumentedFallbacks) {
  EXPECT_TRUE(ReadVisibleAlgorithms(nullptr, "1001", false).empty());
  EXPECT_EQ(OwnerName(nullptr, "1001"), "1001");
  Exec("DROP TABLE Personalstamm");
  EXPECT_EQ(OwnerName(connection_.get(), "1001"), "1001");
  Exec("DROP TABLE DoubletAlgorithms");
  EXPECT_TRUE(ReadVisibleAlgorithms(connection_.get(), "", true).empty());
  // A table without Description: reading stops after the first row, which
  // keeps what could be read.
  Exec("CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), PersonalNr varchar(20), "
       "AlgorithmName varchar(100))");
  Exec("INSERT INTO DoubletAlgorithms VALUES ('0101000000000000', '-', 'Eins'), "
       "('0201000000000000', '-', 'Zwei')");
  const std::vector<AlgorithmEntry> entries = ReadVisibleAlgorithms(connection_.get(), "", true);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].AlgorithmCode, "0101000000000000");
  EXPECT_EQ(entries[0].AlgorithmName, "Eins");
  EXPECT_EQ(entries[0].Description, "");
  connection_->Close();
  EXPECT_TRUE(ReadVisibleAlgorithms(connection_.get(), "", true).empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest,
                         ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres),
                         BackendName);

}  // namespace
}  // namespace korvix::db::testing
