// Reading the table on every back end: the list a user sees, the owners'
// names and the name of one algorithm, with their fallbacks on failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "case_file.h"
#include "korvix/algorithm_store.h"
#include "db/backend_fixture.h"
#include "db/statement_log.h"
#include "store/quiet_reads.h"

namespace korvix::db::testing {
namespace {

constexpr const char* kCode = "010300000000000003050000000000000504110000000000";
constexpr const char* kDescription = "3(PLZ)+5(Straße)+4R['sndx:Bez1]";

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
          {kCode, "1001", "Privat", std::nullopt},
          {kCode, "-", " Öffentlich ", std::nullopt},
          {kCode, "1002", "  ", std::nullopt},
          {kCode, "1003", std::nullopt, std::nullopt}});
    Exec("INSERT INTO Personalstamm VALUES ('1001', 'Dr.', 'Anna', 'Becker'), "
         "('1002', NULL, ' Jürgen ', 'Schmitz'), ('1003', NULL, NULL, NULL), ('1004', 'Prof.', NULL, '')");
  }

  // The entries as "code/owner/list text/description text", checked to come
  // in code order and then sorted, since rows of one code come in any order.
  std::string List(const std::string& nr, bool admin, std::string* error = nullptr) {
    std::vector<std::string> items;
    std::string last;
    for (const AlgorithmEntry& e : store::ReadVisibleAlgorithmsQuietly(connection_.get(), nr, admin, error)) {
      EXPECT_LE(last, e.AlgorithmCode);
      last = e.AlgorithmCode;
      items.push_back(e.AlgorithmCode.substr(0, 4) + "/" + e.PersonalNr + "/" + ListText(e) + "/" +
                      DescriptionText(e) + " ");
    }
    std::sort(items.begin(), items.end());
    std::string text;
    for (const std::string& item : items) text += item;
    return text;
  }
};

TEST_P(StoreTest, WhoSeesWhichRowsInCodeOrderWithTheirTexts) {
  EXPECT_EQ(List("1002", false),
            "0101/-/1(PLZ)/1(PLZ) 0103/-/ Öffentlich /3(PLZ)+5(Straße)+4R['sndx:Bez1] "
            "0103/1002/3(PLZ)+5(Straße)+4R['sndx:Bez1]/3(PLZ)+5(Straße)+4R['sndx:Bez1] "
            "0201/-/Öffentlich B/pub 0301/1002/Jürgens/1(Straße) ");
  EXPECT_NE(List("", false).find("0401//Leerer Besitzer/x"), std::string::npos);
  EXPECT_EQ(ReadVisibleAlgorithms(connection_.get(), "", true).size(), 9u);
  EXPECT_EQ(StatementLog(*connection_).back(), "Select * From DoubletAlgorithms Order By AlgorithmCode");
}

TEST_P(StoreTest, OwnerNamesAndAlgorithmNames) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("store/cases/names.tsv", 3, 4)) {
    EXPECT_EQ(c[0] == "owner" ? OwnerName(connection_.get(), c[1])
                              : store::LookupAlgorithmNameQuietly(connection_.get(), c[1], c[2], nullptr),
              c.fields.back())
        << c.where;
  }
}

TEST_P(StoreTest, FailuresGiveTheDocumentedFallbacksAndSayWhy) {
  std::string error;
  EXPECT_EQ(List("1001", false), List("1001", false, &error));
  EXPECT_EQ(error, "");  // nothing failed
  EXPECT_TRUE(store::ReadVisibleAlgorithmsQuietly(nullptr, "1001", false, &error).empty());
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(OwnerName(nullptr, "1001"), "1001");
  EXPECT_EQ(store::LookupAlgorithmNameQuietly(nullptr, kCode, "1001", &error), kDescription);
  // The public reads throw what the quiet ones skip.
  EXPECT_EQ(OutcomeOf([] { return ReadVisibleAlgorithms(nullptr, "1001", false).size(); }),
            (std::variant<std::size_t, ErrorCode>(ErrorCode::kDatabase)));
  EXPECT_EQ(ErrorOf([&] { (void)LookupAlgorithmName(nullptr, kCode, "1001"); }), error);
  Exec("DROP TABLE Personalstamm");
  EXPECT_EQ(OwnerName(connection_.get(), "1001"), "1001");
  // A table without Description: reading stops after the first row, which
  // keeps what could be read.
  Exec("ALTER TABLE DoubletAlgorithms RENAME COLUMN Description TO Beschreibung");
  error.clear();
  EXPECT_EQ(List("1003", false, &error), "0101/-/1(PLZ)/1(PLZ) ");
  EXPECT_NE(error.find("Description"), std::string::npos) << error;
  error.clear();
  Exec("ALTER TABLE DoubletAlgorithms RENAME COLUMN AlgorithmName TO Bezeichnung");
  EXPECT_EQ(store::LookupAlgorithmNameQuietly(connection_.get(), kCode, "-", &error), kDescription);
  EXPECT_FALSE(error.empty());
  connection_->Close();
  EXPECT_EQ(List("", true), "");
  EXPECT_EQ(store::LookupAlgorithmNameQuietly(connection_.get(), kCode, "1001", nullptr), kDescription);
}

KORVIX_ON_EACH_BACKEND(StoreTest);

}  // namespace
}  // namespace korvix::db::testing
