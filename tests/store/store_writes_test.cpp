// Every write of the store, on every back end: whole or not at all whatever
// step fails, one row per code and owner whatever sessions race, and the
// rights of the acting user.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "korvix/algorithm_store.h"
#include "korvix/db/sqlite.h"
#include "platform/db/backend_fixture.h"
#include "platform/db/faulty_connection.h"

namespace korvix::db::testing {
namespace {

constexpr std::nullopt_t Null = std::nullopt;
constexpr const char* kA = "0103000000000000";
constexpr const char* kB = "0105000000000000";

using Rows = std::vector<AlgorithmRow>;

class StoreWritesTest : public BackendTest {
 protected:
  // The tables as a comparable text, read through a session of its own: the
  // algorithm rows sorted, the number of staff rows, or "-" for a missing table.
  std::string Snapshot() {
    std::unique_ptr<Connection> reader = Connect();
    std::string text;
    Recordset rs;
    for (const char* table : {"DoubletAlgorithms", "Personalstamm"}) {
      std::vector<std::string> rows;
      if (!rs.Open(std::string("Select * From ") + table, reader.get(), adOpenKeyset,
                   adLockReadOnly)) {
        text += "-|";
        continue;
      }
      for (; rs.Eof() == false; (void)rs.MoveNext()) {
        std::string row;
        for (const char* column : {"AlgorithmCode", "PersonalNr", "AlgorithmName", "Description"}) {
          Value value;
          row += (rs.Field(column, &value) ? value.value_or("<Null>") : "") + "/";
        }
        rows.push_back(row);
      }
      std::sort(rows.begin(), rows.end());
      for (const std::string& row : rows) text += row + " ";
      text += "|";
    }
    return text;
  }
};

SaveRequest Save(const char* code, const char* owner, Value name, const char* loaded_code = "",
                 const char* loaded_owner = "") {
  return SaveRequest{code, owner, name, Null, loaded_code, loaded_owner};
}

const OverwriteQuestion kYes = [](const std::string&) { return true; };

TEST_P(StoreWritesTest, EveryStepThatFailsLeavesTheTablesAsBeforeOrAsAfter) {
  struct Path {
    const char* what;
    Rows before;  // seeded; no tables at all for init
    std::function<bool(Connection*)> run;
  };
  const Path paths[] = {
      {"save new", {{kB, "P1", "Andere", Null}},
       [](Connection* c) { return SaveAlgorithm(c, Save(kA, "P1", "Neu"), kYes) == WriteResult::kDone; }},
      {"save in place", {{kA, "P1", "Alt", Null}},
       [](Connection* c) {
         return SaveAlgorithm(c, Save(kA, "P1", "Neu", kA, "P1"), kYes) == WriteResult::kDone;
       }},
      {"save with a changed code", {{kA, "P1", "Alt", Null}},
       [](Connection* c) {
         return SaveAlgorithm(c, Save(kB, "P1", "Alt", kA, "P1"), kYes) == WriteResult::kDone;
       }},
      {"save over another after yes", {{kA, "P1", "Alt", Null}, {kB, "P1", "Andere", Null}},
       [](Connection* c) {
         return SaveAlgorithm(c, Save(kB, "P1", "Alt", kA, "P1"), kYes) == WriteResult::kDone;
       }},
      {"delete", {{kA, "P1", "Alt", Null}, {kA, "-", "Öffentlich", Null}},
       [](Connection* c) { return DeleteAlgorithm(c, kA, "P1") == WriteResult::kDone; }},
      {"init", {},
       [](Connection* c) {
         std::string error;
         return CreateTables(c, true, nullptr, &error);
       }},
  };
  for (const Path& path : paths) {
    SCOPED_TRACE(path.what);
    auto reset = [&] {
      Exec("DROP TABLE IF EXISTS DoubletAlgorithms");
      Exec("DROP TABLE IF EXISTS Personalstamm");
      if (path.before.empty()) return;
      Exec("CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), PersonalNr varchar(20), "
           "AlgorithmName varchar(100), Description varchar(255))");
      Exec("CREATE TABLE Personalstamm (PersonalNr varchar(20))");
      Seed(path.before);
    };
    reset();
    const std::string before = Snapshot();
    FaultyConnection faulty(Connect());
    ASSERT_TRUE(path.run(&faulty));
    const int steps = faulty.steps();
    const std::string after = Snapshot();
    ASSERT_NE(before, after);
    for (int step = 1; step <= steps; ++step) {
      for (auto mode : {FaultyConnection::Mode::kRefuse, FaultyConnection::Mode::kLoseAnswer}) {
        SCOPED_TRACE("step " + std::to_string(step) +
                     (mode == FaultyConnection::Mode::kRefuse ? " refused" : " answer lost"));
        reset();
        faulty.FailAt(step, mode);
        const bool done = path.run(&faulty);
        const std::string now = Snapshot();
        EXPECT_TRUE(now == after || (!done && now == before)) << now;
        EXPECT_FALSE(BackendOf(faulty.inner()).InTransaction()) << "a transaction was left open";
      }
    }
    // A failed init leaves nothing in the way of the next one.
    if (path.before.empty()) {
      faulty.FailAt(0, FaultyConnection::Mode::kRefuse);
      reset();
      EXPECT_TRUE(path.run(&faulty));
      EXPECT_EQ(Snapshot(), after);
    }
  }
}

TEST_P(StoreWritesTest, ANameTooLongForItsColumnLeavesTheOldRow) {
  Seed({{kA, "P1", "Alt", Null}});
  const std::string name(101, 'x');  // the column is varchar(100)
  std::string error;
  const WriteResult result = SaveAlgorithm(connection_.get(), Save(kB, "P1", name, kA, "P1"), kYes,
                                           nullptr, &error);
  if (GetParam() == BackendKind::kPostgres) {
    EXPECT_EQ(result, WriteResult::kFailed);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Read("Select * From DoubletAlgorithms"), (Rows{{kA, "P1", "Alt", Null}}));
  } else {  // SQLite does not enforce the width
    EXPECT_EQ(result, WriteResult::kDone);
    EXPECT_EQ(Read("Select * From DoubletAlgorithms"), (Rows{{kB, "P1", name, Null}}));
  }
}

TEST_P(StoreWritesTest, SessionsSavingOnePairAtOnceMakeOneRow) {
  constexpr int kSessions = 4;
  constexpr int kRounds = 8;
  std::vector<std::unique_ptr<Connection>> sessions;
  for (int s = 0; s < kSessions; ++s) sessions.push_back(Connect());
  for (int round = 0; round < kRounds; ++round) {
    const std::string code = "01" + std::to_string(10 + round) + "000000000000";
    std::atomic<int> ready{0}, questions{0}, failures{0};
    std::vector<std::thread> threads;
    for (int s = 0; s < kSessions; ++s) {
      threads.emplace_back([&, s] {
        const OverwriteQuestion yes = [&](const std::string&) { return ++questions, true; };
        for (++ready; ready < kSessions;) std::this_thread::yield();
        const SaveRequest request{code, "P1", "Sitzung " + std::to_string(s), Null, "", ""};
        if (SaveAlgorithm(sessions[s].get(), request, yes) != WriteResult::kDone) ++failures;
      });
    }
    for (std::thread& t : threads) t.join();
    SCOPED_TRACE(code);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(RowsWithCode(code).size(), 1u);
    EXPECT_EQ(questions.load(), kSessions - 1);  // each later save found the row
  }
}

TEST_P(StoreWritesTest, RightsOfTheActingUser) {
  const Rows start = {{kA, "-", "Öffentlich", Null}, {kA, "1001", "Annas", Null},
                      {kA, "1002", "Jürgens", Null}};
  struct Case {
    const char* what;
    StoreUser user;
    std::function<WriteResult(Connection*, const StoreUser*)> run;
    WriteResult result;
  };
  auto save = [](SaveRequest r) {
    return [r](Connection* c, const StoreUser* u) { return SaveAlgorithm(c, r, kYes, u); };
  };
  auto remove = [](const char* owner) {
    return [owner](Connection* c, const StoreUser* u) { return DeleteAlgorithm(c, kA, owner, u); };
  };
  const Case cases[] = {
      {"new without staff number", {"  ", false}, save(Save(kB, "  ", "x")), WriteResult::kRefused},
      {"new for oneself", {"1001", false}, save(Save(kB, "1001", "x")), WriteResult::kDone},
      {"new for the public", {"1001", false}, save(Save(kB, "-", "x")), WriteResult::kRefused},
      {"new public by \"-\"", {"-", false}, save(Save(kB, "-", "x")), WriteResult::kDone},
      {"edit a public one", {"1001", false}, save(Save(kA, "1001", "x", kA, "-")),
       WriteResult::kRefused},
      {"edit another's", {"1001", false}, save(Save(kA, "1001", "x", kA, "1002")),
       WriteResult::kRefused},
      {"edit an own one", {"1001", false}, save(Save(kB, "1001", "x", kA, "1001")),
       WriteResult::kDone},
      {"administrator edits another's", {"", true}, save(Save(kB, "1002", "x", kA, "1002")),
       WriteResult::kDone},
      {"delete a public one", {"1001", false}, remove("-"), WriteResult::kRefused},
      {"delete another's", {"1001", false}, remove("1002"), WriteResult::kRefused},
      {"delete an own one", {"1001", false}, remove("1001"), WriteResult::kDone},
      {"administrator deletes a public one", {"", true}, remove("-"), WriteResult::kDone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Exec("DELETE FROM DoubletAlgorithms");
    Seed(start);
    EXPECT_EQ(c.run(connection_.get(), &c.user), c.result);
    if (c.result == WriteResult::kRefused) EXPECT_EQ(Read("Select * From DoubletAlgorithms").size(), 3u);
  }
  EXPECT_EQ(DeleteAlgorithm(connection_.get(), kB, "1001"), WriteResult::kNotFound);
}

TEST_P(StoreWritesTest, ThePairAsLoadedInAnotherCaseIsTheAlgorithmItself) {
  Seed({{kA, "P1", "Alt", Null}, {kA, "p1", "Klein", Null}});
  int questions = 0;
  const OverwriteQuestion ask = [&](const std::string&) { return ++questions, true; };
  EXPECT_EQ(SaveAlgorithm(connection_.get(), Save(kA, "P1", "Neu", kA, "p1"), ask),
            WriteResult::kDone);
  EXPECT_EQ(questions, 0);
  EXPECT_EQ(RowsWithCode(kA).size(), 2u);  // nothing deleted
  EXPECT_EQ(Read("Select * From DoubletAlgorithms Where PersonalNr='P1'"),
            (Rows{{kA, "P1", "Neu", Null}}));
}

TEST_P(StoreWritesTest, InitLeavesNothingBehindWhenItCannotFinish) {
  Exec("DROP TABLE DoubletAlgorithms");
  Exec("DROP TABLE Personalstamm");
  // A view of the algorithm table's name, which the table cannot replace.
  Exec("CREATE VIEW DoubletAlgorithms AS SELECT 1 AS x");
  std::string error;
  EXPECT_FALSE(CreateTables(connection_.get(), true, nullptr, &error));
  EXPECT_NE(error.find("DoubletAlgorithms"), std::string::npos) << error;
  Exec("DROP VIEW DoubletAlgorithms");
  EXPECT_EQ(Snapshot(), "-|-|") << "the staff table was left behind";

  if (GetParam() == BackendKind::kSqlite) {
    // A full disk: a new file that may not grow past its first page.
    const std::string path = sqlite_path_ + "-voll";
    std::unique_ptr<Connection> full = OpenSqlite(path, {.create_if_missing = true}, &error);
    ASSERT_TRUE(full && full->Execute("PRAGMA max_page_count = 1", &error)) << error;
    EXPECT_FALSE(CreateTables(full.get(), true, nullptr, &error));
    EXPECT_NE(error.find("full"), std::string::npos) << error;
    full = OpenSqlite(path, {}, &error);
    EXPECT_FALSE(full->Execute("SELECT * FROM Personalstamm", nullptr)) << "left behind";
    EXPECT_TRUE(CreateTables(full.get(), true, nullptr, &error)) << error;
    full.reset();
    std::filesystem::remove(path);
  }
  bool created = false;
  ASSERT_TRUE(CreateTables(connection_.get(), true, &created, &error)) << error;
  EXPECT_TRUE(created);
  EXPECT_EQ(Read("Select * From DoubletAlgorithms").size(), 5u);
  ASSERT_TRUE(CreateTables(connection_.get(), true, &created, &error)) << error;
  EXPECT_FALSE(created);
  EXPECT_EQ(Read("Select * From DoubletAlgorithms").size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreWritesTest,
                         ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres),
                         BackendName);

}  // namespace
}  // namespace korvix::db::testing
