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

#include "case_file.h"
#include "korvix/algorithm_store.h"
#include "korvix/db/sqlite.h"
#include "db/backend_fixture.h"
#include "db/faulty_connection.h"

namespace korvix::db::testing {
namespace {

constexpr std::nullopt_t Null = std::nullopt;
constexpr const char* kA = "0103000000000000";
constexpr const char* kB = "0105000000000000";
using Rows = std::vector<AlgorithmRow>;
using Mode = FaultyConnection::Mode;
using Outcome = std::variant<WriteResult, ErrorCode>;
const OverwriteQuestion kYes = [](const std::string&) { return true; };

SaveRequest Save(const std::string& code, const std::string& owner, Value name,
                 const std::string& loaded_code = "", const std::string& loaded_owner = "") {
  return SaveRequest{code, owner, name, Null, loaded_code, loaded_owner};
}

class StoreWritesTest : public BackendTest {
 protected:
  // Both tables as text, read through a session of its own: every row
  // sorted, "-" for a table that is not there.
  std::string Snapshot() {
    std::unique_ptr<Connection> reader = Connect();
    std::string text;
    for (const char* table : {"DoubletAlgorithms", "Personalstamm"}) {
      Recordset rs;
      std::vector<std::string> rows;
      if (!rs.Open(std::string("Select * From ") + table, reader.get(), adOpenKeyset, adLockReadOnly)) rows = {"-"};
      for (; rs.Eof() == false; (void)rs.MoveNext()) {
        std::string& row = rows.emplace_back();
        for (const char* c : {"AlgorithmCode", "PersonalNr", "AlgorithmName", "Description"}) {
          Value value;
          row += (rs.Field(c, &value) ? value.value_or("<Null>") : "") + "/";
        }
      }
      std::sort(rows.begin(), rows.end());
      for (const std::string& row : rows) text += row + " ";
      text += "| ";
    }
    return text;
  }
};

TEST_P(StoreWritesTest, EveryStepThatFailsLeavesTheTablesAsBeforeOrAsAfter) {
  auto saves = [](SaveRequest r) {
    return [r](Connection* c) { return SaveAlgorithm(c, r, kYes) == WriteResult::kDone; };
  };
  const struct {
    const char* what;
    Rows before;  // seeded; no tables at all for init
    std::function<bool(Connection*)> run;
  } paths[] = {
      {"save new", {{kB, "P1", "Andere", Null}}, saves(Save(kA, "P1", "Neu"))},
      {"save in place", {{kA, "P1", "Alt", Null}}, saves(Save(kA, "P1", "Neu", kA, "P1"))},
      {"save with a new code", {{kA, "P1", "Alt", Null}}, saves(Save(kB, "P1", "Alt", kA, "P1"))},
      {"save over another after yes", {{kA, "P1", "Alt", Null}, {kB, "P1", "Andere", Null}},
       saves(Save(kB, "P1", "Alt", kA, "P1"))},
      {"delete one of two twins", {{kA, "P1", "Alt", Null}, {kA, "P1", "Alt", Null}, {kA, "-", "Ö", Null}},
       [](Connection* c) { return DeleteAlgorithm(c, kA, "P1") == WriteResult::kDone; }},
      {"rename", {{kA, "P1", "Alt", "Text"}},
       [](Connection* c) { return RenameAlgorithm(c, kA, "P1", "Neu", nullptr) == WriteResult::kDone; }},
      {"init", {}, [](Connection* c) { return (void)CreateTables(c, true), true; }},
  };
  for (const auto& path : paths) {
    SCOPED_TRACE(path.what);
    auto reset = [&] {
      Exec("DROP TABLE IF EXISTS DoubletAlgorithms");
      Exec("DROP TABLE IF EXISTS Personalstamm");
      if (path.before.empty()) return;
      Exec("CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), PersonalNr varchar(20), "
           "AlgorithmName varchar(100), Description varchar(255));"
           "CREATE TABLE Personalstamm (PersonalNr varchar(20))");
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
      for (Mode mode : {Mode::kRefuse, Mode::kLoseAnswer}) {
        SCOPED_TRACE("step " + std::to_string(step) + (mode == Mode::kRefuse ? " refused" : " lost"));
        reset();
        faulty.FailAt(step, mode);
        bool done = false;
        ErrorOf([&] { done = path.run(&faulty); });
        const std::string now = Snapshot();
        EXPECT_TRUE(now == after || (!done && now == before)) << now;
        EXPECT_FALSE(BackendOf(faulty.inner()).InTransaction()) << "a transaction was left open";
      }
    }
    reset();  // a refused commit, and the next run does the whole work
    faulty.FailAt(steps, Mode::kRefuse);
    EXPECT_NE(ErrorOf([&] { path.run(&faulty); }), "");
    faulty.FailAt(0, Mode::kRefuse);
    EXPECT_TRUE(path.run(&faulty));
    EXPECT_EQ(Snapshot(), after);
  }
}

TEST_P(StoreWritesTest, ANameTooLongForItsColumnLeavesTheOldRow) {
  Seed({{kA, "P1", "Alt", Null}});
  const std::string name(101, 'x');  // the column is varchar(100), which only PostgreSQL enforces
  const bool enforced = GetParam() == BackendKind::kPostgres;
  EXPECT_EQ(OutcomeOf([&] { return SaveAlgorithm(connection_.get(), Save(kB, "P1", name, kA, "P1"), kYes); }),
            enforced ? Outcome(ErrorCode::kDatabase) : Outcome(WriteResult::kDone));
  Rows after = {{kB, "P1", name, Null}};
  if (enforced) after = {{kA, "P1", "Alt", Null}};
  EXPECT_EQ(Read("Select * From DoubletAlgorithms"), after);
}

TEST_P(StoreWritesTest, SessionsSavingOnePairAtOnceMakeOneRow) {
  constexpr int kSessions = 4;
  std::vector<std::unique_ptr<Connection>> sessions;
  for (int s = 0; s < kSessions; ++s) sessions.push_back(Connect());
  for (int round = 10; round < 18; ++round) {
    const std::string code = "01" + std::to_string(round) + "000000000000";
    std::atomic<int> ready{0}, questions{0}, failures{0};
    std::vector<std::thread> threads;
    for (int s = 0; s < kSessions; ++s) {
      threads.emplace_back([&, s] {
        for (++ready; ready < kSessions;) std::this_thread::yield();
        const OverwriteQuestion yes = [&](const std::string&) { return ++questions, true; };
        failures += OutcomeOf([&] { return SaveAlgorithm(sessions[s].get(), Save(code, "P1", "Neu"), yes); }) !=
                    Outcome(WriteResult::kDone);
      });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0) << code;
    EXPECT_EQ(RowsWithCode(code).size(), 1u) << code;
    EXPECT_EQ(questions.load(), kSessions - 1) << code;  // each later save found the row
  }
}

TEST_P(StoreWritesTest, RightsOfTheActingUserAndThePairAsLoaded) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("store/cases/rights.tsv", 8)) {
    Exec("DELETE FROM DoubletAlgorithms");
    Seed({{kA, "-", "Ö", Null}, {kA, "1001", "Annas", Null}, {kA, "1002", "Jürgens", Null}});
    const StoreUser user{c[0], c[1] == "1"};
    const std::string code = c[3] == "A" ? kA : kB, loaded = c[5] == "A" ? kA : c[5];
    const Outcome result = OutcomeOf([&] {
      if (c[2] == "save") return SaveAlgorithm(connection_.get(), Save(code, c[4], "x", loaded, c[6]), kYes, &user);
      if (c[2] == "delete") return DeleteAlgorithm(connection_.get(), code, c[4], &user);
      return RenameAlgorithm(connection_.get(), code, c[4], "x", nullptr, &user);
    });
    const bool refused = c[7] == "refused";
    EXPECT_EQ(result, refused ? Outcome(ErrorCode::kRefused) : Outcome(WriteResult::kDone)) << c.where;
    EXPECT_TRUE(!refused || (RowsWithCode(kA).size() == 3u &&
                             Read("Select * From DoubletAlgorithms Where AlgorithmName = 'x'").empty())) << c.where;
  }
  EXPECT_EQ(DeleteAlgorithm(connection_.get(), kB, "1001"), WriteResult::kNotFound);
  // Code and owner as loaded, in another letter case: the algorithm itself.
  Seed({{kA, "p1", "Klein", Null}, {kA, "P1", "Alt", Null}});
  const OverwriteQuestion never = [](const std::string&) { return ADD_FAILURE(), true; };
  EXPECT_EQ(SaveAlgorithm(connection_.get(), Save(kA, "p1", "Neu", kA, "P1"), never), WriteResult::kDone);
  EXPECT_EQ(Read("Select * From DoubletAlgorithms Where PersonalNr In ('p1', 'P1') Order By PersonalNr"),
            (Rows{{kA, "P1", "Alt", Null}, {kA, "p1", "Neu", Null}}));
}

// A rename changes the name of the row as it is now, not as it was listed:
// what another session wrote meanwhile stays, a row removed stays removed.
TEST_P(StoreWritesTest, RenameChangesTheNameOfTheRowAsItIsNow) {
  Seed({{kA, "P1", "Alt", "listed"}, {kB, "P1", "Andere", Null}});
  std::unique_ptr<Connection> other = Connect();
  ASSERT_EQ(SaveAlgorithm(other.get(), SaveRequest{kA, "P1", "Alt", "changed meanwhile", kA, "P1"}, nullptr),
            WriteResult::kDone);
  EXPECT_EQ(RenameAlgorithm(connection_.get(), kA, "P1", "Neu", nullptr), WriteResult::kDone);
  EXPECT_EQ(RowsWithCode(kA), (Rows{{kA, "P1", "Neu", "changed meanwhile"}}));
  const Value none = Null, text = "neu beschrieben";
  EXPECT_EQ(RenameAlgorithm(connection_.get(), kA, "P1", Null, &text), WriteResult::kDone);
  EXPECT_EQ(RowsWithCode(kA), (Rows{{kA, "P1", Null, "neu beschrieben"}}));
  EXPECT_EQ(RenameAlgorithm(connection_.get(), kA, "P1", "Neu", &none), WriteResult::kDone);
  EXPECT_EQ(RowsWithCode(kA), (Rows{{kA, "P1", "Neu", Null}}));

  ASSERT_EQ(DeleteAlgorithm(other.get(), kA, "P1"), WriteResult::kDone);
  EXPECT_EQ(RenameAlgorithm(connection_.get(), kA, "P1", "Zurück", nullptr), WriteResult::kNotFound);
  EXPECT_TRUE(RowsWithCode(kA).empty());
  EXPECT_EQ(RowsWithCode(kB), (Rows{{kB, "P1", "Andere", Null}}));
}

TEST_P(StoreWritesTest, InitLeavesNothingBehindWhenItCannotFinish) {
  Exec("DROP TABLE DoubletAlgorithms; DROP TABLE Personalstamm;"
       "CREATE VIEW DoubletAlgorithms AS SELECT 1 AS x");  // in the table's way
  std::string error = ErrorOf([&] { (void)CreateTables(connection_.get(), true); });
  EXPECT_NE(error.find("DoubletAlgorithms"), std::string::npos) << error;
  Exec("DROP VIEW DoubletAlgorithms");
  EXPECT_EQ(Snapshot(), "- | - | ") << "the staff table was left behind";
  if (GetParam() == BackendKind::kSqlite) {
    // A full disk: a new file that may not grow past its first page.
    const std::string path = sqlite_path_ + "-voll";
    auto full = OpenSqlite(path, {.create_if_missing = true});
    full->Execute("PRAGMA max_page_count = 1");
    error = ErrorOf([&] { (void)CreateTables(full.get(), true); });
    EXPECT_NE(error.find("full"), std::string::npos) << error;
    full = OpenSqlite(path);
    EXPECT_NE(ErrorOf([&] { full->Execute("SELECT * FROM Personalstamm"); }), "") << "left behind";
    EXPECT_EQ(ErrorOf([&] { (void)CreateTables(full.get(), true); }), "");
    std::filesystem::remove(path);
  }
  for (bool first : {true, false}) {
    EXPECT_EQ(CreateTables(connection_.get(), true), first);
    EXPECT_EQ(Read("Select * From DoubletAlgorithms").size(), 5u);
  }
}

KORVIX_ON_EACH_BACKEND(StoreWritesTest);

}  // namespace
}  // namespace korvix::db::testing
