// Record-set semantics, run unchanged on every back end.
#include "korvix/db/recordset.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "korvix/db/connection.h"
#include "platform/db/backend_fixture.h"
#include "platform/db/statement_log.h"

namespace korvix::db::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

constexpr std::nullopt_t Null = std::nullopt;
const std::string kAll = "Select * From DoubletAlgorithms Order By AlgorithmCode";

std::string Pair(const std::string& code, const std::string& owner) {
  return "Select * From DoubletAlgorithms Where AlgorithmCode='" + code + "' And PersonalNr='" +
         owner + "'";
}

const std::vector<AlgorithmRow> kTable = {
    {"0103000000000000", "-", "Öffentlich A", Null}, {"0203000000000000", "42", "Privat 42", "für 42"},
    {"0105000000000000", "-", Null, Null},           {"0203000000000000", "-", "Öffentlich B", ""},
    {"0501000000000000", " -", "Blank vor dem Strich", Null},
};

class RecordsetTest : public BackendTest {
 protected:
  // Opens `sql` updatable on this test's connection; fails the test if it cannot.
  Recordset Updatable(const std::string& sql) {
    Recordset rs;
    EXPECT_TRUE(rs.Open(sql, connection_.get(), adOpenKeyset, adLockOptimistic)) << rs.last_error();
    return rs;
  }
};

TEST_P(RecordsetTest, ReadsRowsInOrderWithNullApartFromEmpty) {
  Seed(kTable);
  struct Case {
    std::string sql;
    std::vector<AlgorithmRow> rows;
  };
  const Case cases[] = {
      {Pair("0203000000000000", "42"), {kTable[1]}},
      {Pair("0501000000000000", "-"), {}},  // " -" is an owner of its own
      {"Select * From DoubletAlgorithms Where PersonalNr='-' or PersonalNr='42' Order By "
       "AlgorithmCode",
       {kTable[0], kTable[2], kTable[1], kTable[3]}},
  };
  for (const Case& c : cases) {
    for (LockType lock : {adLockReadOnly, adLockOptimistic}) {
      SCOPED_TRACE(c.sql + (lock == adLockReadOnly ? " (read only)" : " (updatable)"));
      std::vector<AlgorithmRow> rows;
      Recordset rs;
      ASSERT_TRUE(rs.Open(c.sql, connection_.get(), adOpenKeyset, lock)) << rs.last_error();
      while (rs.Eof() == false) {
        AlgorithmRow& row = rows.emplace_back();
        ASSERT_TRUE(rs.Field("AlgorithmCode", &row.code) && rs.Field("personalnr", &row.owner) &&
                    rs.Field("ALGORITHMNAME", &row.name) && rs.Field("Description", &row.description));
        ASSERT_TRUE(rs.MoveNext());
      }
      EXPECT_FALSE(rs.MoveNext());
      Value value;
      EXPECT_FALSE(rs.Field("AlgorithmCode", &value));
      EXPECT_THAT(rs.last_error(), HasSubstr("no current row"));
      if (c.sql.find("Order By") != std::string::npos) {
        std::vector<Value> codes, expected;
        for (const AlgorithmRow& row : rows) codes.push_back(row.code);
        for (const AlgorithmRow& row : c.rows) expected.push_back(row.code);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(codes, expected);
      }
      EXPECT_THAT(rows, UnorderedElementsAreArray(c.rows));
      EXPECT_TRUE(rs.Close());
      EXPECT_FALSE(rs.Close());
    }
  }
}

TEST_P(RecordsetTest, FieldNamesIgnoreAsciiCaseOnly) {
  Seed({kTable[1]});
  Recordset rs = Updatable(Pair("0203000000000000", "42"));
  for (const char* name : {"AlgorithmNam", "AlgorithmName ", "", "AlgorithmNameX"}) {
    Value value;
    EXPECT_FALSE(rs.Field(name, &value)) << name;
    EXPECT_THAT(rs.last_error(), HasSubstr("no column"));
    EXPECT_FALSE(rs.SetField(name, "x")) << name;
  }
}

TEST_P(RecordsetTest, AddNewUpdateAndDeleteWriteExactlyTheirRow) {
  const AlgorithmRow twin{"0707000000000000", "42", "Zwilling", Null};
  const AlgorithmRow public_row{"0707000000000000", "-", "Öffentlich", Null};
  Seed({twin, twin, public_row});
  const std::string statement = Pair("0707000000000000", "42");

  // Repeated updates keep hitting the delivered twin, also after an AddNew.
  Recordset rs = Updatable(statement);
  for (const char* name : {"eins", "zwei"}) {
    ASSERT_TRUE(rs.SetField("AlgorithmName", name));
    ASSERT_TRUE(rs.Update()) << rs.last_error();
  }
  ASSERT_TRUE(rs.AddNew());
  Value value = "not read";
  ASSERT_TRUE(rs.Field("AlgorithmName", &value));
  EXPECT_EQ(value, Null);  // a new row starts out Null
  // A quote and umlauts arrive as they are, Null and "" stay apart.
  ASSERT_TRUE(rs.SetField("AlgorithmCode", "0707000000000000") && rs.SetField("PersonalNr", "42") &&
              rs.SetField("Description", ""));
  ASSERT_TRUE(rs.Update()) << rs.last_error();
  ASSERT_TRUE(rs.SetField("AlgorithmName", "O'Brien & Müller"));
  ASSERT_TRUE(rs.MoveNext()) << rs.last_error();  // leaving a row stores it
  EXPECT_EQ(rs.Eof(), true);
  rs.Close();
  AlgorithmRow two = twin, added = twin;
  two.name = "zwei";
  added.name = "O'Brien & Müller";
  added.description = "";
  EXPECT_THAT(RowsWithCode("0707000000000000"), UnorderedElementsAre(two, twin, added, public_row));

  // Each Delete removes the first delivered row and no other.
  for (std::size_t left : {2u, 1u, 0u}) {
    rs = Updatable(statement);
    ASSERT_EQ(rs.Eof(), false);
    ASSERT_TRUE(rs.Delete(adAffectCurrent)) << rs.last_error();
    Value gone;
    EXPECT_FALSE(rs.Field("AlgorithmCode", &gone));  // no values until MoveNext
    EXPECT_THAT(rs.last_error(), HasSubstr("deleted"));
    EXPECT_FALSE(rs.Update());
    EXPECT_FALSE(rs.Delete());
    rs.Close();
    EXPECT_EQ(Read(statement).size(), left);
  }
  EXPECT_THAT(RowsWithCode("0707000000000000"), ElementsAre(public_row));

  // A new row given no value is stored all the same; one left unstored is dropped.
  rs = Updatable(kAll);
  ASSERT_TRUE(rs.AddNew() && rs.Update()) << rs.last_error();
  ASSERT_TRUE(rs.AddNew() && rs.MoveNext());
  EXPECT_FALSE(rs.Delete(3));  // only the current row can be deleted
  rs.Close();
  EXPECT_THAT(Read("Select * From DoubletAlgorithms Where AlgorithmCode Is Null"),
              ElementsAre(AlgorithmRow{}));
}

TEST_P(RecordsetTest, ARowChangedByAnotherSessionIsNotOverwritten) {
  const AlgorithmRow row{"0909000000000000", "42", "Original", Null};
  Seed({row});
  std::unique_ptr<Connection> other = Connect();
  const std::string statement = Pair("0909000000000000", "42");
  Recordset first = Updatable(statement), second, third;
  ASSERT_TRUE(second.Open(statement, other.get(), adOpenKeyset, adLockOptimistic));
  ASSERT_TRUE(third.Open(statement, other.get(), adOpenKeyset, adLockOptimistic));

  ASSERT_TRUE(first.SetField("AlgorithmName", "erster") && first.Update()) << first.last_error();
  ASSERT_TRUE(second.SetField("AlgorithmName", "zweiter"));
  EXPECT_FALSE(second.Update());
  EXPECT_THAT(second.last_error(), HasSubstr("changed or deleted"));
  EXPECT_FALSE(second.Delete());
  AlgorithmRow first_wins = row;
  first_wins.name = "erster";
  EXPECT_THAT(RowsWithCode("0909000000000000"), ElementsAre(first_wins));
  // The set that wrote last still finds its row; a stale one does not.
  ASSERT_TRUE(first.Delete()) << first.last_error();
  EXPECT_FALSE(third.Delete());
  EXPECT_THAT(RowsWithCode("0909000000000000"), IsEmpty());
}

TEST_P(RecordsetTest, FailuresAreValuesAndRunNothing) {
  Seed({kTable[0], kTable[1]});
  std::unique_ptr<Connection> closed = Connect();
  closed->Close();
  EXPECT_FALSE(closed->IsOpen());
  enum Target { kNone, kClosed, kOpen };
  struct Case {
    const char* label;
    Target target;
    std::string sql;
    LockType lock;
    int options;
    const char* fragment;  // in last_error, lower case
  };
  const Case cases[] = {
      {"null connection", kNone, kAll, adLockReadOnly, adCmdUnspecified, "no connection"},
      {"closed connection", kClosed, kAll, adLockReadOnly, adCmdUnspecified, "closed"},
      {"missing table", kOpen, "Select * From Nichtda", adLockReadOnly, adCmdUnspecified, "nichtda"},
      {"missing column, updatable", kOpen,
       "Select * From DoubletAlgorithms Where AlgorithmKode='1'", adLockOptimistic,
       adCmdUnspecified, "algorithmkode"},
      {"bad SQL", kOpen, "Select * Form DoubletAlgorithms", adLockReadOnly, adCmdUnspecified,
       "syntax error"},
      {"not a query", kOpen, "Delete From DoubletAlgorithms", adLockReadOnly, adCmdUnspecified,
       "queries only"},
      {"second statement", kOpen, kAll + "; Delete From DoubletAlgorithms", adLockReadOnly,
       adCmdUnspecified, ""},
      {"updatable join", kOpen, "Select * From DoubletAlgorithms, Personalstamm",
       adLockOptimistic, adCmdUnspecified, "updatable"},
      {"table name as source", kOpen, "DoubletAlgorithms", adLockReadOnly, 2, "options"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Connection* target = c.target == kNone     ? nullptr
                         : c.target == kClosed ? closed.get()
                                               : connection_.get();
    Recordset rs;
    EXPECT_FALSE(rs.Open(c.sql, target, adOpenKeyset, c.lock, c.options));
    std::string error = rs.last_error();
    std::transform(error.begin(), error.end(), error.begin(), [](unsigned char ch) { return std::tolower(ch); });
    EXPECT_THAT(error, HasSubstr(c.fragment));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(rs.Eof(), std::nullopt);
    EXPECT_THAT(rs.last_error(), HasSubstr("Open failed"));
    Value value;
    EXPECT_FALSE(rs.Field("AlgorithmCode", &value) || rs.SetField("AlgorithmCode", "x") ||
                 rs.MoveNext() || rs.AddNew() || rs.Update() || rs.Delete() || rs.Close());
  }
  EXPECT_EQ(Read(kAll).size(), 2u);  // no failed statement ran any part of itself

  // A read-only set refuses writes; a set whose connection the host closed
  // keeps its copy but stores nothing.
  Recordset rs;
  ASSERT_TRUE(rs.Open(Pair("0203000000000000", "42"), connection_.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_FALSE(rs.SetField("AlgorithmName", "neu"));
  EXPECT_THAT(rs.last_error(), HasSubstr("read-only"));
  EXPECT_FALSE(rs.AddNew() || rs.Delete());
  std::unique_ptr<Connection> session = Connect();
  ASSERT_TRUE(rs.Open(Pair("0203000000000000", "42"), session.get(), adOpenKeyset, adLockOptimistic));
  session->Close();
  EXPECT_TRUE(rs.SetField("AlgorithmName", "neu"));
  EXPECT_FALSE(rs.Update());
  EXPECT_THAT(rs.last_error(), HasSubstr("closed"));
  EXPECT_FALSE(rs.MoveNext() || rs.Delete() || rs.AddNew());
  EXPECT_TRUE(rs.Close());
  EXPECT_EQ(rs.Eof(), std::nullopt);
  EXPECT_THAT(rs.last_error(), HasSubstr("closed"));
  EXPECT_THAT(Read(Pair("0203000000000000", "42")), ElementsAre(kTable[1]));
}

TEST_P(RecordsetTest, StatementLogKeepsOpenedTextsInOrder) {
  std::unique_ptr<Connection> connection = Connect();
  ASSERT_TRUE(connection->Execute("DELETE FROM Personalstamm", nullptr));  // not a record set
  const std::vector<std::string> issued = {kAll, Pair("1", "42"), "Select * From Nichtda"};
  Recordset rs;
  for (std::size_t i = 0; i < issued.size(); ++i) {
    (void)rs.Open(issued[i], connection.get(), adOpenKeyset, i == 1 ? adLockOptimistic : adLockReadOnly);
  }
  rs.Close();
  EXPECT_EQ(StatementLog(*connection), issued);
  ClearStatementLog(*connection);
  connection->Close();
  EXPECT_FALSE(rs.Open(kAll, connection.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_THAT(StatementLog(*connection), ElementsAre(kAll));
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordsetTest,
                         ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres),
                         BackendName);

}  // namespace
}  // namespace korvix::db::testing
