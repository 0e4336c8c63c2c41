// Record-set semantics, run unchanged on every back end.
#include "korvix/db/recordset.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "korvix/db/connection.h"
#include "korvix/algorithm_store.h"
#include "platform/db/backend_fixture.h"

namespace korvix::db::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

const std::vector<AlgorithmRow> kTable = {
    {"0103000000000000", "-", "Öffentlich A", std::nullopt},
    {"0203000000000000", "42", "Privat 42", "für 42"},
    {"0105000000000000", "-", std::nullopt, std::nullopt},
    {"0203000000000000", "-", "Öffentlich B", ""},
    {"0301000000000000", "7", "Fremd", std::nullopt},
    {"0401000000000000", "", "Ohne Zuordnung", std::nullopt},
    {"0501000000000000", " -", "Blank vor dem Strich", std::nullopt},
};

class RecordsetTest : public BackendTest {
 protected:
  // Every row of `sql` opened with `lock`, walked to its end.
  std::vector<AlgorithmRow> ReadWith(const std::string& sql, LockType lock) {
    std::vector<AlgorithmRow> rows;
    Recordset rs;
    EXPECT_TRUE(rs.Open(sql, connection_.get(), adOpenKeyset, lock)) << rs.last_error();
    while (rs.Eof() == false) {
      AlgorithmRow row;
      EXPECT_TRUE(rs.Field("AlgorithmCode", &row.code) && rs.Field("PersonalNr", &row.owner) &&
                  rs.Field("AlgorithmName", &row.name) &&
                  rs.Field("Description", &row.description))
          << rs.last_error();
      rows.push_back(row);
      if (!rs.MoveNext()) break;
    }
    EXPECT_TRUE(rs.Close());
    return rows;
  }

  std::size_t CountAll() { return Read("Select * From DoubletAlgorithms").size(); }
};

TEST_P(RecordsetTest, ReadsEveryStatementOfTheAlgorithmTable) {
  Seed(kTable);
  const AlgorithmRow& a = kTable[0];
  const AlgorithmRow& private42 = kTable[1];
  const AlgorithmRow& unnamed = kTable[2];
  const AlgorithmRow& b = kTable[3];
  const AlgorithmRow& empty_owner = kTable[5];
  struct Case {
    std::string sql;
    std::vector<AlgorithmRow> rows;  // in order of AlgorithmCode where sorted
  };
  const std::vector<Case> cases = {
      {AllAlgorithmsStatement(), kTable},
      {VisibleAlgorithmsStatement("42"), {a, unnamed, private42, b}},
      // The empty staff number: public rows and those of owner "".
      {VisibleAlgorithmsStatement(""), {a, unnamed, b, empty_owner}},
      {AlgorithmStatement("0203000000000000", "42"), {private42}},
      {AlgorithmStatement("0203000000000000", "-"), {b}},
      // " -" is an owner of its own, not the public marker.
      {AlgorithmStatement("0501000000000000", "-"), {}},
      {PublicAlgorithmStatement("0203000000000000"), {b}},
      {PublicAlgorithmStatement("0999000000000000"), {}},
  };
  for (const Case& c : cases) {
    for (LockType lock : {adLockReadOnly, adLockOptimistic}) {
      SCOPED_TRACE(c.sql + (lock == adLockReadOnly ? " (read only)" : " (updatable)"));
      const std::vector<AlgorithmRow> rows = ReadWith(c.sql, lock);
      EXPECT_THAT(rows, UnorderedElementsAreArray(c.rows));
      if (c.sql.find("Order By") == std::string::npos) continue;
      std::vector<Value> codes, expected_codes;
      for (const AlgorithmRow& row : rows) codes.push_back(row.code);
      for (const AlgorithmRow& row : c.rows) expected_codes.push_back(row.code);
      std::sort(expected_codes.begin(), expected_codes.end());
      EXPECT_THAT(codes, ElementsAreArray(expected_codes));
    }
  }
}

TEST_P(RecordsetTest, WalksForwardToEof) {
  Seed({kTable[0], kTable[1], kTable[2]});
  for (LockType lock : {adLockReadOnly, adLockOptimistic}) {
    Recordset rs;
    ASSERT_TRUE(rs.Open(AllAlgorithmsStatement(), connection_.get(), adOpenKeyset, lock)) << rs.last_error();
    int rows = 0;
    while (rs.Eof() == false) {
      ++rows;
      ASSERT_TRUE(rs.MoveNext()) << rs.last_error();
    }
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(rs.Eof(), true);
    EXPECT_FALSE(rs.MoveNext());
    Value value;
    EXPECT_FALSE(rs.Field("AlgorithmCode", &value));
    EXPECT_THAT(rs.last_error(), HasSubstr("no current row"));
    EXPECT_TRUE(rs.Close());
    EXPECT_FALSE(rs.Close());  // no effect on a closed set
  }

  // An empty result is at its end at once.
  Recordset empty;
  ASSERT_TRUE(empty.Open(PublicAlgorithmStatement("0999000000000000"), connection_.get(), adOpenKeyset,
                         adLockReadOnly));
  EXPECT_EQ(empty.Eof(), true);
  Value value;
  EXPECT_FALSE(empty.Field("AlgorithmCode", &value));
  EXPECT_FALSE(empty.MoveNext());
}

TEST_P(RecordsetTest, NullIsNotTheEmptyString) {
  Seed({{"0103000000000000", "-", std::nullopt, ""}});
  Exec("INSERT INTO Personalstamm (PersonalNr, Titel, Vorname, Nachname) "
       "VALUES ('42', NULL, '', 'Meier')");

  EXPECT_THAT(RowsWithCode("0103000000000000"),
              ElementsAre(AlgorithmRow{"0103000000000000", "-", std::nullopt, ""}));

  Recordset owner;
  ASSERT_TRUE(owner.Open(StaffStatement("42"), connection_.get(), adOpenKeyset, adLockReadOnly));
  Value titel, vorname, nachname;
  ASSERT_TRUE(owner.Field("Titel", &titel) && owner.Field("Vorname", &vorname) &&
              owner.Field("Nachname", &nachname));
  EXPECT_EQ(titel, std::nullopt);
  EXPECT_EQ(vorname, "");
  EXPECT_EQ(nachname, "Meier");

  // Written the other way round, each stays what it was written as.
  Recordset rs;
  ASSERT_TRUE(rs.Open(PublicAlgorithmStatement("0103000000000000"), connection_.get(), adOpenKeyset,
                      adLockOptimistic));
  ASSERT_TRUE(rs.SetField("AlgorithmName", ""));
  ASSERT_TRUE(rs.SetField("Description", std::nullopt));
  ASSERT_TRUE(rs.Update()) << rs.last_error();
  rs.Close();
  EXPECT_THAT(RowsWithCode("0103000000000000"),
              ElementsAre(AlgorithmRow{"0103000000000000", "-", "", std::nullopt}));
}

TEST_P(RecordsetTest, FieldNamesIgnoreCase) {
  Seed({kTable[1]});
  struct Case {
    const char* name;
    bool found;
  };
  const Case cases[] = {
      {"AlgorithmName", true},  {"algorithmname", true},   {"ALGORITHMNAME", true},
      {"aLgOrItHmNaMe", true},  {"AlgorithmNam", false},   {"AlgorithmName ", false},
      {"", false},              {"AlgorithmNameX", false},
  };
  Recordset rs;
  ASSERT_TRUE(rs.Open(AlgorithmStatement("0203000000000000", "42"), connection_.get(), adOpenKeyset,
                      adLockOptimistic));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Value value;
    EXPECT_EQ(rs.Field(c.name, &value), c.found);
    if (c.found) {
      EXPECT_EQ(value, "Privat 42");
    } else {
      EXPECT_THAT(rs.last_error(), HasSubstr("no column"));
    }
    EXPECT_EQ(rs.SetField(c.name, "Privat 42"), c.found);
  }
  ASSERT_TRUE(rs.SetField("description", "klein geschrieben"));
  ASSERT_TRUE(rs.Update()) << rs.last_error();
  rs.Close();
  EXPECT_THAT(RowsWithCode("0203000000000000"),
              ElementsAre(AlgorithmRow{"0203000000000000", "42", "Privat 42", "klein geschrieben"}));
}

TEST_P(RecordsetTest, AddNewStoresANewRow) {
  Recordset rs;
  ASSERT_TRUE(rs.Open(AlgorithmStatement("0102030000000000", "42"), connection_.get(), adOpenKeyset,
                      adLockOptimistic));
  ASSERT_EQ(rs.Eof(), true);
  ASSERT_TRUE(rs.AddNew());
  EXPECT_EQ(rs.Eof(), false);
  Value value = "not read";
  ASSERT_TRUE(rs.Field("AlgorithmName", &value));
  EXPECT_EQ(value, std::nullopt);  // a new row starts out Null

  // A quote and umlauts must arrive as they are, not change the statement.
  ASSERT_TRUE(rs.SetField("AlgorithmCode", "0102030000000000"));
  ASSERT_TRUE(rs.SetField("PersonalNr", "42"));
  ASSERT_TRUE(rs.SetField("AlgorithmName", "O'Brien & Müller"));
  ASSERT_TRUE(rs.SetField("Description", std::nullopt));
  ASSERT_TRUE(rs.Update()) << rs.last_error();
  ASSERT_TRUE(rs.Field("AlgorithmName", &value));
  EXPECT_EQ(value, "O'Brien & Müller");
  ASSERT_TRUE(rs.MoveNext());
  EXPECT_EQ(rs.Eof(), true);
  rs.Close();
  EXPECT_THAT(Read(AlgorithmStatement("0102030000000000", "42")),
              ElementsAre(AlgorithmRow{"0102030000000000", "42", "O'Brien & Müller", std::nullopt}));

  // A new row given no value at all is stored all the same, with defaults.
  ASSERT_TRUE(rs.Open(AllAlgorithmsStatement(), connection_.get(), adOpenKeyset, adLockOptimistic));
  ASSERT_TRUE(rs.AddNew());
  ASSERT_TRUE(rs.Update()) << rs.last_error();
  rs.Close();
  EXPECT_THAT(Read("Select * From DoubletAlgorithms Where AlgorithmCode Is Null"),
              ElementsAre(AlgorithmRow{}));
}

TEST_P(RecordsetTest, UpdateAndDeleteTouchOnlyTheDeliveredTwin) {
  const AlgorithmRow twin{"0707000000000000", "42", "Zwilling", std::nullopt};
  const AlgorithmRow public_row{"0707000000000000", "-", "Öffentlich", std::nullopt};
  Seed({twin, twin, public_row});
  const std::string statement = AlgorithmStatement("0707000000000000", "42");
  AlgorithmRow changed = twin;
  changed.name = "Geändert";

  Recordset rs;
  ASSERT_TRUE(rs.Open(statement, connection_.get(), adOpenKeyset, adLockOptimistic));
  ASSERT_TRUE(rs.SetField("AlgorithmName", "Geändert"));
  ASSERT_TRUE(rs.Update()) << rs.last_error();
  rs.Close();
  EXPECT_THAT(RowsWithCode("0707000000000000"), UnorderedElementsAre(changed, twin, public_row));

  // Deleting the first delivered row removes one twin only; each Delete
  // takes the row its set delivered first, whichever that is.
  for (std::size_t left = 1; left <= 2; ++left) {
    ASSERT_TRUE(rs.Open(statement, connection_.get(), adOpenKeyset, adLockOptimistic));
    ASSERT_EQ(rs.Eof(), false);
    ASSERT_TRUE(rs.Delete(adAffectCurrent)) << rs.last_error();
    rs.Close();
    EXPECT_EQ(Read(statement).size(), 2 - left);
  }
  EXPECT_THAT(RowsWithCode("0707000000000000"), ElementsAre(public_row));

  // Nothing to delete: the step fails and nothing else happens.
  ASSERT_TRUE(rs.Open(statement, connection_.get(), adOpenKeyset, adLockOptimistic));
  EXPECT_FALSE(rs.Delete(adAffectCurrent));
  EXPECT_THAT(RowsWithCode("0707000000000000"), ElementsAre(public_row));
}

TEST_P(RecordsetTest, RepeatedWritesKeepHittingTheSameRow) {
  const AlgorithmRow twin{"0808000000000000", "42", "Zwilling", std::nullopt};
  Seed({twin, twin});
  Recordset rs;
  ASSERT_TRUE(rs.Open(AlgorithmStatement("0808000000000000", "42"), connection_.get(), adOpenKeyset,
                      adLockOptimistic));
  for (const char* name : {"eins", "zwei", "drei"}) {
    ASSERT_TRUE(rs.SetField("AlgorithmName", name));
    ASSERT_TRUE(rs.Update()) << name << ": " << rs.last_error();
  }
  ASSERT_TRUE(rs.AddNew());
  ASSERT_TRUE(rs.SetField("AlgorithmCode", "0808000000000000"));
  ASSERT_TRUE(rs.SetField("PersonalNr", "42"));
  ASSERT_TRUE(rs.Update()) << rs.last_error();
  ASSERT_TRUE(rs.SetField("AlgorithmName", "neu"));
  ASSERT_TRUE(rs.Update()) << rs.last_error();
  rs.Close();
  AlgorithmRow three = twin, added = twin;
  three.name = "drei";
  added.name = "neu";
  EXPECT_THAT(RowsWithCode("0808000000000000"), UnorderedElementsAre(three, twin, added));
}

TEST_P(RecordsetTest, AChangedRowIsNotOverwritten) {
  const AlgorithmRow row{"0909000000000000", "42", "Original", std::nullopt};
  Seed({row});
  std::unique_ptr<Connection> other = Connect();
  ASSERT_TRUE(other);
  const std::string statement = AlgorithmStatement("0909000000000000", "42");
  Recordset first, second, third;
  ASSERT_TRUE(first.Open(statement, connection_.get(), adOpenKeyset, adLockOptimistic));
  ASSERT_TRUE(second.Open(statement, other.get(), adOpenKeyset, adLockOptimistic));
  ASSERT_TRUE(third.Open(statement, other.get(), adOpenKeyset, adLockOptimistic));

  ASSERT_TRUE(first.SetField("AlgorithmName", "erster"));
  ASSERT_TRUE(first.Update()) << first.last_error();
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

TEST_P(RecordsetTest, FailedOpenMakesEveryOperationFail) {
  Seed({kTable[0], kTable[1]});
  std::unique_ptr<Connection> closed = Connect();
  ASSERT_TRUE(closed);
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
  const std::vector<Case> cases = {
      {"null connection", kNone, AllAlgorithmsStatement(), adLockReadOnly, adCmdUnspecified, "no connection"},
      {"closed connection", kClosed, AllAlgorithmsStatement(), adLockReadOnly, adCmdUnspecified, "closed"},
      {"missing table", kOpen, "Select * From DoubletAlgorithmz Order By AlgorithmCode",
       adLockReadOnly, adCmdUnspecified, "doubletalgorithmz"},
      {"missing table, updatable", kOpen, "Select * From Nichtda Where AlgorithmCode='1'",
       adLockOptimistic, adCmdUnspecified, "nichtda"},
      {"missing column", kOpen, "Select * From DoubletAlgorithms Where AlgorithmKode='1'",
       adLockReadOnly, adCmdUnspecified, "algorithmkode"},
      {"missing column, updatable", kOpen,
       "Select * From DoubletAlgorithms Where AlgorithmKode='1'", adLockOptimistic,
       adCmdUnspecified, "algorithmkode"},
      {"bad SQL", kOpen, "Select * Form DoubletAlgorithms", adLockReadOnly, adCmdUnspecified,
       "syntax error"},
      {"not a query", kOpen, "Delete From DoubletAlgorithms", adLockReadOnly, adCmdUnspecified,
       "queries only"},
      {"second statement", kOpen, "Select * From DoubletAlgorithms; Delete From DoubletAlgorithms",
       adLockReadOnly, adCmdUnspecified, ""},
      {"updatable join", kOpen, "Select * From DoubletAlgorithms, Personalstamm",
       adLockOptimistic, adCmdUnspecified, "updatable"},
      {"table name as source", kOpen, "DoubletAlgorithms", adLockReadOnly, 2, "options"},
      {"empty source", kOpen, "", adLockReadOnly, adCmdUnspecified, "queries only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Connection* target = c.target == kNone     ? nullptr
                         : c.target == kClosed ? closed.get()
                                               : connection_.get();
    Recordset rs;
    EXPECT_FALSE(rs.Open(c.sql, target, adOpenKeyset, c.lock, c.options));
    EXPECT_FALSE(rs.last_error().empty());
    EXPECT_THAT(Lower(rs.last_error()), HasSubstr(c.fragment));
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_EQ(rs.Eof(), std::nullopt);
    EXPECT_THAT(rs.last_error(), HasSubstr("Open failed"));
    Value value;
    EXPECT_FALSE(rs.Field("AlgorithmCode", &value));
    EXPECT_FALSE(rs.SetField("AlgorithmCode", "x"));
    EXPECT_FALSE(rs.MoveNext());
    EXPECT_FALSE(rs.AddNew());
    EXPECT_FALSE(rs.Update());
    EXPECT_FALSE(rs.Delete());
    EXPECT_FALSE(rs.Close());
  }
  // No failed statement ran any part of itself.
  EXPECT_EQ(CountAll(), 2u);

  // A set that was open and is closed again fails the same way.
  Recordset rs;
  ASSERT_TRUE(rs.Open(AllAlgorithmsStatement(), connection_.get(), adOpenKeyset, adLockOptimistic));
  ASSERT_TRUE(rs.Close());
  Value value;
  EXPECT_EQ(rs.Eof(), std::nullopt);
  EXPECT_FALSE(rs.Field("AlgorithmCode", &value));
  EXPECT_FALSE(rs.MoveNext());
  EXPECT_FALSE(rs.Delete());
  EXPECT_THAT(rs.last_error(), HasSubstr("closed"));
}

TEST_P(RecordsetTest, ReadOnlySetRefusesWrites) {
  Seed({kTable[1]});
  Recordset rs;
  ASSERT_TRUE(rs.Open(AlgorithmStatement("0203000000000000", "42"), connection_.get(), adOpenKeyset,
                      adLockReadOnly));
  EXPECT_FALSE(rs.SetField("AlgorithmName", "neu"));
  EXPECT_THAT(rs.last_error(), HasSubstr("read-only"));
  EXPECT_FALSE(rs.Update());
  EXPECT_FALSE(rs.AddNew());
  EXPECT_FALSE(rs.Delete());
  Value value;
  EXPECT_TRUE(rs.Field("AlgorithmName", &value));
  EXPECT_EQ(value, "Privat 42");
  rs.Close();
  EXPECT_THAT(RowsWithCode("0203000000000000"), ElementsAre(kTable[1]));
}

TEST_P(RecordsetTest, StatementLogKeepsOpenedTextsInOrder) {
  std::unique_ptr<Connection> connection = Connect();
  ASSERT_TRUE(connection);
  EXPECT_THAT(connection->StatementLog(), IsEmpty());
  ASSERT_TRUE(connection->Execute("DELETE FROM Personalstamm", nullptr));  // not a record set

  const std::vector<std::string> issued = {
      AllAlgorithmsStatement(), AlgorithmStatement("0103000000000000", "42"),
      "Select * From Nichtda",  // fails, was issued all the same
      StaffStatement("42")};
  Recordset rs;
  for (std::size_t i = 0; i < issued.size(); ++i) {
    (void)rs.Open(issued[i], connection.get(), adOpenKeyset,
                  i == 1 ? adLockOptimistic : adLockReadOnly);
  }
  rs.Close();
  EXPECT_THAT(connection->StatementLog(), ElementsAreArray(issued));

  connection->ClearStatementLog();
  EXPECT_THAT(connection->StatementLog(), IsEmpty());
  connection->Close();
  EXPECT_FALSE(rs.Open(PublicAlgorithmStatement("1"), connection.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_THAT(connection->StatementLog(), ElementsAre(PublicAlgorithmStatement("1")));
}

TEST_P(RecordsetTest, OperationsFailAfterTheHostClosesTheConnection) {
  Seed({kTable[1]});
  std::unique_ptr<Connection> session = Connect();
  ASSERT_TRUE(session);
  Recordset rs;
  ASSERT_TRUE(rs.Open(AlgorithmStatement("0203000000000000", "42"), session.get(), adOpenKeyset,
                      adLockOptimistic));
  session->Close();
  EXPECT_FALSE(session->IsOpen());
  EXPECT_TRUE(rs.SetField("AlgorithmName", "neu"));  // only the set's copy so far
  EXPECT_FALSE(rs.Update());
  EXPECT_THAT(rs.last_error(), HasSubstr("closed"));
  EXPECT_FALSE(rs.MoveNext());  // would have to store the change first
  EXPECT_FALSE(rs.Delete());
  EXPECT_FALSE(rs.AddNew());
  EXPECT_TRUE(rs.Close());
  session->Close();  // twice: no effect
  EXPECT_THAT(RowsWithCode("0203000000000000"), ElementsAre(kTable[1]));
}

TEST_P(RecordsetTest, LeavingARowStoresItsChanges) {
  Seed({kTable[1]});
  Recordset rs;
  ASSERT_TRUE(rs.Open(AlgorithmStatement("0203000000000000", "42"), connection_.get(), adOpenKeyset,
                      adLockOptimistic));
  ASSERT_TRUE(rs.SetField("AlgorithmName", "beim Weitergehen"));
  ASSERT_TRUE(rs.MoveNext()) << rs.last_error();
  EXPECT_EQ(rs.Eof(), true);

  // An added row left without values is dropped, one with values stored.
  ASSERT_TRUE(rs.AddNew());
  ASSERT_TRUE(rs.MoveNext()) << rs.last_error();
  EXPECT_EQ(rs.Eof(), true);
  ASSERT_TRUE(rs.AddNew());
  ASSERT_TRUE(rs.SetField("AlgorithmCode", "0203000000000000"));
  ASSERT_TRUE(rs.AddNew()) << rs.last_error();
  rs.Close();  // drops the second, empty new row
  AlgorithmRow renamed = kTable[1];
  renamed.name = "beim Weitergehen";
  EXPECT_THAT(RowsWithCode("0203000000000000"),
              UnorderedElementsAre(renamed, AlgorithmRow{"0203000000000000", std::nullopt,
                                                          std::nullopt, std::nullopt}));
  EXPECT_EQ(CountAll(), 2u);
}

TEST_P(RecordsetTest, ADeletedRowHasNoValuesUntilMoveNext) {
  Seed({kTable[0], kTable[2]});
  Recordset rs;
  ASSERT_TRUE(rs.Open(AllAlgorithmsStatement(), connection_.get(), adOpenKeyset, adLockOptimistic));
  ASSERT_TRUE(rs.Delete());
  EXPECT_EQ(rs.Eof(), false);
  Value value;
  EXPECT_FALSE(rs.Field("AlgorithmCode", &value));
  EXPECT_THAT(rs.last_error(), HasSubstr("deleted"));
  EXPECT_FALSE(rs.SetField("AlgorithmName", "x"));
  EXPECT_FALSE(rs.Update());
  EXPECT_FALSE(rs.Delete());
  ASSERT_TRUE(rs.MoveNext());
  ASSERT_TRUE(rs.Field("AlgorithmCode", &value));
  EXPECT_EQ(value, "0105000000000000");
  EXPECT_FALSE(rs.Delete(3));  // only the current row can be deleted
  rs.Close();
  EXPECT_THAT(Read(AllAlgorithmsStatement()), ElementsAre(kTable[2]));
}

// Several sessions save and delete at once through record sets, as several
// workstations would. Each session's own rows must come out exactly as its
// operations left them, and rows that all of them compete to delete must
// be gone exactly as often as a Delete reported success.
TEST_P(RecordsetTest, ConcurrentSessionsLoseAndDuplicateNoRow) {
  constexpr int kSessions = 4;
  constexpr int kRounds = 12;
  constexpr int kPool = 16;
  const AlgorithmRow pooled{"0999000000000000", "X", "Pool", std::nullopt};
  Seed(std::vector<AlgorithmRow>(kPool, pooled));
  auto code = [](int session, int round) {
    return "1" + std::to_string(session) + (round < 10 ? "0" : "") + std::to_string(round) +
           "000000000000";
  };

  std::vector<std::unique_ptr<Connection>> sessions;
  for (int s = 0; s < kSessions; ++s) {
    sessions.push_back(Connect());
    ASSERT_TRUE(sessions.back());
  }
  std::atomic<int> failures{0}, pool_deleted{0};
  std::vector<std::string> errors(kSessions);
  std::vector<std::thread> threads;
  for (int s = 0; s < kSessions; ++s) {
    threads.emplace_back([&, s] {
      Connection* connection = sessions[s].get();
      for (int round = 0; round < kRounds; ++round) {
        Recordset rs;
        const bool saved =
            rs.Open(AlgorithmStatement(code(s, round), "L"), connection, adOpenKeyset,
                    adLockOptimistic) &&
            rs.AddNew() && rs.SetField("AlgorithmCode", code(s, round)) &&
            rs.SetField("PersonalNr", "L") && rs.SetField("AlgorithmName", "Last") &&
            rs.SetField("Description", std::nullopt) && rs.Update();
        if (!saved) errors[s] = "save: " + rs.last_error(), ++failures;
        rs.Close();
        if (round % 2 == 1) {
          const bool deleted = rs.Open(AlgorithmStatement(code(s, round - 1), "L"), connection,
                                       adOpenKeyset, adLockOptimistic) &&
                               rs.Eof() == false && rs.Delete();
          if (!deleted) errors[s] = "delete: " + rs.last_error(), ++failures;
          rs.Close();
        }
        // Competing for the same rows may fail; it must never double.
        if (rs.Open(AlgorithmStatement("0999000000000000", "X"), connection, adOpenKeyset,
                    adLockOptimistic) &&
            rs.Eof() == false && rs.Delete()) {
          ++pool_deleted;
        }
        rs.Close();
      }
    });
  }
  for (std::thread& t : threads) t.join();

  EXPECT_EQ(failures.load(), 0) << ::testing::PrintToString(errors);
  for (int s = 0; s < kSessions; ++s) {
    for (int round = 0; round < kRounds; ++round) {
      SCOPED_TRACE(code(s, round));
      EXPECT_EQ(RowsWithCode(code(s, round)).size(), round % 2 == 1 ? 1u : 0u);
    }
  }
  EXPECT_GT(pool_deleted.load(), 0);
  EXPECT_EQ(RowsWithCode("0999000000000000").size(),
            static_cast<std::size_t>(kPool - pool_deleted.load()));
  EXPECT_EQ(CountAll(), static_cast<std::size_t>(kSessions * kRounds / 2 + kPool -
                                                 pool_deleted.load()));
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordsetTest,
                         ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres),
                         BackendName);

}  // namespace
}  // namespace korvix::db::testing
