// Record-set semantics, run unchanged on every back end.
#include "db/recordset.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "case_file.h"
#include "db/backend_fixture.h"
#include "db/statement_log.h"

namespace korvix::db::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

constexpr std::nullopt_t Null = std::nullopt;
const std::string kAll = "Select * From DoubletAlgorithms Order By AlgorithmCode";
const std::string kPair = "Select * From DoubletAlgorithms Where AlgorithmCode='07' And PersonalNr='42'";

class RecordsetTest : public BackendTest {
 protected:
  Recordset Open(const std::string& sql, LockType lock = adLockOptimistic) {
    Recordset rs;
    EXPECT_TRUE(rs.Open(sql, connection_.get(), adOpenKeyset, lock)) << rs.last_error();
    return rs;
  }
};

TEST_P(RecordsetTest, ReadsEveryRowInOrderWithNullApartFromEmpty) {
  const std::vector<AlgorithmRow> rows = {{"03", "-", "C", Null}, {"01", " -", "A", ""},
                                          {"02", "42", Null, "b"}};
  Seed(rows);
  for (LockType lock : {adLockReadOnly, adLockOptimistic}) {
    Recordset rs = Open(kAll, lock);
    std::vector<AlgorithmRow> read;
    for (AlgorithmRow row; rs.Eof() == false; read.push_back(row), (void)rs.MoveNext()) {
      ASSERT_TRUE(rs.Field("AlgorithmCode", &row.code) && rs.Field("personalnr", &row.owner) &&
                  rs.Field("ALGORITHMNAME", &row.name) && rs.Field("Description", &row.description));
      Value value;
      for (const char* name : {"AlgorithmNam", "AlgorithmName ", ""}) {
        EXPECT_FALSE(rs.Field(name, &value) || rs.SetField(name, "x")) << name;
      }
    }
    EXPECT_EQ(read, (std::vector<AlgorithmRow>{rows[1], rows[2], rows[0]}));
    EXPECT_FALSE(rs.MoveNext());
    EXPECT_FALSE(rs.Field("AlgorithmCode", nullptr));
    EXPECT_THAT(rs.last_error(), HasSubstr("no current row"));
    EXPECT_TRUE(rs.Close());
    EXPECT_FALSE(rs.Close());
  }
}

TEST_P(RecordsetTest, WritesReachExactlyTheDeliveredRow) {
  const AlgorithmRow twin{"07", "42", "Zwilling", Null}, public_row{"07", "-", "Ö", Null};
  Seed({twin, twin, public_row});
  Recordset rs = Open(kPair);  // repeated updates keep hitting one twin, also after an AddNew
  ASSERT_TRUE(rs.SetField("AlgorithmName", "eins") && rs.Update() && rs.SetField("AlgorithmName", "zwei") && rs.Update());
  ASSERT_TRUE(rs.AddNew());
  Value value = "not read";
  ASSERT_TRUE(rs.Field("AlgorithmName", &value));
  EXPECT_EQ(value, Null);  // a new row starts out Null
  ASSERT_TRUE(rs.SetField("AlgorithmCode", "07") && rs.SetField("PersonalNr", "42") &&
              rs.SetField("Description", "") && rs.Update()) << rs.last_error();
  ASSERT_TRUE(rs.SetField("AlgorithmName", "O'Brien & Müller") && rs.MoveNext()) << rs.last_error();
  EXPECT_EQ(rs.Eof(), true);  // leaving the row stored it
  AlgorithmRow two = twin, added{"07", "42", "O'Brien & Müller", ""};
  two.name = "zwei";
  EXPECT_THAT(RowsWithCode("07"), UnorderedElementsAre(two, twin, added, public_row));
  for (std::size_t left : {2u, 1u, 0u}) {  // each Delete removes the first delivered row only
    rs = Open(kPair);
    ASSERT_TRUE(rs.Delete(adAffectCurrent)) << rs.last_error();
    EXPECT_FALSE(rs.Field("AlgorithmCode", &value) || rs.Update() || rs.Delete());
    EXPECT_THAT(rs.last_error(), HasSubstr("deleted"));
    EXPECT_EQ(Read(kPair).size(), left);
  }
  // A new row given no value is stored all the same; one left unstored is dropped.
  rs = Open(kAll);
  ASSERT_TRUE(rs.AddNew() && rs.Update() && rs.AddNew() && rs.MoveNext()) << rs.last_error();
  EXPECT_FALSE(rs.Delete(3));  // only the current row can be deleted
  rs.Close();
  EXPECT_THAT(Read(kAll), UnorderedElementsAre(public_row, AlgorithmRow{}));
}

TEST_P(RecordsetTest, ARowChangedByAnotherSessionIsNotOverwritten) {
  Seed({{"07", "42", "Original", Null}});
  std::unique_ptr<Connection> other = Connect();
  Recordset first = Open(kPair), second, third;
  ASSERT_TRUE(second.Open(kPair, other.get(), adOpenKeyset, adLockOptimistic) &&
              third.Open(kPair, other.get(), adOpenKeyset, adLockOptimistic));
  ASSERT_TRUE(first.SetField("AlgorithmName", "erster") && first.Update()) << first.last_error();
  ASSERT_TRUE(second.SetField("AlgorithmName", "zweiter"));
  EXPECT_FALSE(second.Update() || second.Delete());
  EXPECT_THAT(second.last_error(), HasSubstr("changed or deleted"));
  EXPECT_THAT(Read(kPair), ElementsAre(AlgorithmRow{"07", "42", "erster", Null}));
  ASSERT_TRUE(first.Delete()) << first.last_error();  // the set that wrote last still finds its row
  EXPECT_FALSE(third.Delete());
}

TEST_P(RecordsetTest, FailuresAreValuesAndRunNothing) {
  Seed({{"07", "42", "Eins", Null}});
  std::unique_ptr<Connection> closed = Connect();
  closed->Close();
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("db/cases/recordset_failures.tsv", 5)) {
    Connection* target = c[0] == "none" ? nullptr : c[0] == "closed" ? closed.get() : connection_.get();
    Recordset rs;
    EXPECT_FALSE(rs.Open(c[1], target, adOpenKeyset, c[2] == "read" ? adLockReadOnly : adLockOptimistic, std::stoi(c[3])))
        << c.where;
    std::string error = rs.last_error();
    std::transform(error.begin(), error.end(), error.begin(), [](unsigned char ch) { return std::tolower(ch); });
    EXPECT_THAT(error, HasSubstr(c[4])) << c.where;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(rs.Eof(), std::nullopt);
    EXPECT_THAT(rs.last_error(), HasSubstr("Open failed"));
    EXPECT_FALSE(rs.Field("AlgorithmCode", nullptr) || rs.SetField("AlgorithmCode", "x") ||
                 rs.MoveNext() || rs.AddNew() || rs.Update() || rs.Delete() || rs.Close());
  }
  // Each text is logged as given though it failed; Seed's host SQL is not.
  EXPECT_EQ(StatementLog(*connection_).size(), 7u);
  EXPECT_EQ(StatementLog(*connection_).back(), "DoubletAlgorithms");
  // A read-only set refuses writes; one whose connection the host closed
  // keeps its copy but stores nothing.
  Recordset rs = Open(kPair, adLockReadOnly);
  EXPECT_FALSE(rs.SetField("AlgorithmName", "neu") || rs.AddNew() || rs.Delete());
  EXPECT_THAT(rs.last_error(), HasSubstr("read-only"));
  std::unique_ptr<Connection> session = Connect();
  ASSERT_TRUE(rs.Open(kPair, session.get(), adOpenKeyset, adLockOptimistic));
  session->Close();
  EXPECT_TRUE(rs.SetField("AlgorithmName", "neu"));
  EXPECT_FALSE(rs.Update() || rs.MoveNext() || rs.Delete() || rs.AddNew());
  EXPECT_THAT(rs.last_error(), HasSubstr("closed"));
  EXPECT_THAT(Read(kAll), ElementsAre(AlgorithmRow{"07", "42", "Eins", Null}));
  ClearStatementLog(*closed);
  (void)rs.Open(kAll, closed.get(), adOpenKeyset, adLockReadOnly);
  EXPECT_THAT(StatementLog(*closed), ElementsAre(kAll));
}

KORVIX_ON_EACH_BACKEND(RecordsetTest);

}  // namespace
}  // namespace korvix::db::testing
