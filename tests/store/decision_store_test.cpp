// The decisions table on every back end: a pair holds its latest decision,
// each write is whole or not at all, the version is checked, and the CSV
// file brings every decision back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "korvix/decisions.h"
#include "db/backend_fixture.h"
#include "db/faulty_connection.h"

namespace korvix::db::testing {
namespace {

using K = DecisionKind;

Decision D(K kind, const std::string& a, const std::string& b = "", const std::string& note = "",
           const std::string& when = "") {
  return Decision{kind, a, b, "", note, "1001", when};
}

Decision Value(const std::string& a, const std::string& field, const std::string& when = "") {
  return Decision{K::kValue, a, "", field, "", "1001", when};
}

class DecisionStoreTest : public BackendTest {
 protected:
  // kind:a:b of every decision, in order, read through a session of its own.
  std::string Listed() {
    std::unique_ptr<Connection> reader = Connect();
    std::string text;
    for (const Decision& d : DecisionStore(reader.get()).List()) {
      text += std::string(DecisionKindName(d.kind)) + ":" + d.a + ":" + d.b + d.field + " ";
    }
    return text;
  }
};

TEST_P(DecisionStoreTest, APairHoldsItsLatestDecisionAndForgettingRemovesIt) {
  DecisionStore store(connection_.get());
  EXPECT_TRUE(store.Record(D(K::kDifferent, "id:1", "id:2", "Schwestern")));
  EXPECT_FALSE(store.Record(D(K::kDifferent, "id:2", "id:1")));  // either way round
  EXPECT_TRUE(store.Record(D(K::kSurvivor, "id:3")));
  EXPECT_TRUE(store.Record(D(K::kSame, "id:2", "id:1")));  // changed their mind
  EXPECT_TRUE(store.Record(Value("id:2", "Ort")));
  EXPECT_FALSE(store.Record(Value("id:2", "Ort")));
  EXPECT_EQ(Listed(), "survivor:id:3: same:id:2:id:1 value:id:2:Ort ");
  EXPECT_TRUE(store.Record(D(K::kSame, "id:1", "id:4")));
  EXPECT_NE(ErrorOf([&] { store.Record(D(K::kDifferent, "id:4", "id:2")); }).find("id:4 = id:1 = id:2"),
            std::string::npos);
  const std::vector<Decision> listed = store.List();
  EXPECT_EQ(listed[1].when.size(), 19u);
  for (const Decision& refused : {D(K::kSame, "id:1", "id:1"), D(K::kDifferent, "id:1", ""),
                                  D(K::kSurvivor, "id:1", "id:2"), Value("id:1", ""), Value("", "Ort"),
                                  Decision{K::kSame, "id:1", "id:2", "Ort", "", "", ""}}) {
    EXPECT_EQ(OutcomeOf([&] { return store.Record(refused); }), (std::variant<bool, ErrorCode>(ErrorCode::kInvalidArgument)));
  }
  EXPECT_EQ(store.Forget("id:2"), 2u);
  EXPECT_EQ(store.ForgetAll(), 2u);
  EXPECT_EQ(Listed(), "");
}

TEST_P(DecisionStoreTest, EveryStepThatFailsLeavesTheDecisionsAsBeforeOrAsAfter) {
  DecisionStore(connection_.get()).Record(D(K::kDifferent, "id:1", "id:2"));
  const std::string before = Listed();
  FaultyConnection faulty(Connect());
  for (int step = 1;; ++step) {
    faulty.FailAt(step, FaultyConnection::Mode::kRefuse);
    const std::string error = ErrorOf([&] { DecisionStore(&faulty).Record(D(K::kSame, "id:1", "id:2")); });
    const std::string now = Listed();
    EXPECT_TRUE(now == before || (error.empty() && now == "same:id:1:id:2 ")) << step << " " << now;
    if (error.empty()) break;
  }
  EXPECT_EQ(Listed(), "same:id:1:id:2 ");
}

TEST_P(DecisionStoreTest, AnOlderTableIsUpgradedKeepingItsDecisionsAndANewerOneRefused) {
  DecisionStore(connection_.get()).Record(D(K::kSame, "id:1", "id:2"));
  // Version 1 had no value decisions.
  Exec("ALTER TABLE DoubletDecisions DROP COLUMN FieldName");
  Exec("UPDATE KorvixTables SET Version = 1 WHERE TableName = 'DoubletDecisions'");
  DecisionStore(connection_.get()).Record(Value("id:1", "Strasse"));
  EXPECT_EQ(Listed(), "same:id:1:id:2 value:id:1:Strasse ");
  Exec("UPDATE KorvixTables SET Version = 3 WHERE TableName = 'DoubletDecisions'");
  EXPECT_NE(ErrorOf([&] { DecisionStore store(connection_.get()); }).find("version 3"), std::string::npos);
  Exec("UPDATE KorvixTables SET Version = 2 WHERE TableName = 'DoubletDecisions'");
  EXPECT_EQ(Listed(), "same:id:1:id:2 value:id:1:Strasse ");
}

TEST_P(DecisionStoreTest, ExportAndImportBringEveryDecisionBackAllOrNothing) {
  const std::vector<Decision> decisions = {D(K::kSame, "id:1", "content:0a", "sagt \"ja\"; sicher", "2026-01-02 03:04:05"),
                                           D(K::kSurvivor, "id:2;x", "", "", "2026-01-02 03:04:06"),
                                           Value("id:1", "Straße; Nr.", "2026-01-02 03:04:07")};
  const std::string path = (std::filesystem::temp_directory_path() / "korvix-decisions.csv").string();
  std::ofstream(path) << DecisionsCsv(decisions);
  EXPECT_EQ(ReadDecisionsCsv(path), decisions);
  DecisionStore store(connection_.get());
  EXPECT_EQ(store.Import(decisions), 3u);
  EXPECT_EQ(store.Import(decisions), 0u);  // duplicates are passed over
  EXPECT_EQ(store.List(), decisions);
  const std::vector<Decision> broken = {D(K::kDifferent, "id:7", "id:8"), D(K::kSame, "id:9", "id:9")};
  EXPECT_NE(ErrorOf([&] { store.Import(broken); }), "");
  EXPECT_EQ(store.List(), decisions);
  std::ofstream(path) << "kind;record_a;record_b\nsame;id:1;id:2\nvielleicht;id:1;id:2\n";
  EXPECT_NE(ErrorOf([&] { ReadDecisionsCsv(path); }).find("line 3"), std::string::npos);
  std::ofstream(path) << "kind;record_a;record_b\nwert;id:1;\n";  // as version 1 wrote, but a value needs its field
  EXPECT_NE(ErrorOf([&] { ReadDecisionsCsv(path); }).find("line 2"), std::string::npos);
  std::filesystem::remove(path);
}

KORVIX_ON_EACH_BACKEND(DecisionStoreTest);

}  // namespace
}  // namespace korvix::db::testing
