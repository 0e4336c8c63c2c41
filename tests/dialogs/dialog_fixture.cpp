#include "dialogs/dialog_fixture.h"

#include <algorithm>
#include <tuple>

#include "korvix/ui/toolkit.h"

namespace korvix::dialogs::testing {

using db::testing::BackendKind;

void PrintTo(const DialogParam& param, std::ostream* os) {
  *os << param.toolkit.name << "/" << (param.backend == BackendKind::kSqlite ? "SQLite" : "PostgreSQL");
}

std::string DialogParamName(const ::testing::TestParamInfo<DialogParam>& info) {
  return info.param.toolkit.name +
         (info.param.backend == BackendKind::kSqlite ? "Sqlite" : "Postgres");
}

std::vector<DialogParam> DialogParams() {
  std::vector<DialogParam> params;
  for (const ToolkitFactory& toolkit : ToolkitFactories()) {
    for (BackendKind backend : {BackendKind::kSqlite, BackendKind::kPostgres}) {
      params.push_back({toolkit, backend});
    }
  }
  return params;
}

void DialogTest::SetUp() {
  DatabaseTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  toolkit_ = GetParam().toolkit.make();
  ui::SetDefaultToolkit(toolkit_.get());
}

void DialogTest::TearDown() {
  ui::SetDefaultToolkit(nullptr);
  if (toolkit_) {
    EXPECT_EQ(toolkit_->pending_answers(), 0u) << "a queued message box answer was not used";
  }
  toolkit_.reset();
  DatabaseTest::TearDown();
}

std::vector<db::testing::AlgorithmRow> DialogTest::Rows() {
  // A session of its own: the test's may be closed, and its statement log
  // must show only what the dialogs issued.
  std::unique_ptr<db::Connection> reader = Connect();
  if (!reader) return {};
  std::vector<db::testing::AlgorithmRow> rows =
      db::testing::ReadRows(reader.get(), "Select * From DoubletAlgorithms");
  return Sorted(std::move(rows));
}

std::vector<db::testing::AlgorithmRow> DialogTest::Sorted(
    std::vector<db::testing::AlgorithmRow> rows) {
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    return std::tie(a.code, a.owner, a.name, a.description) <
           std::tie(b.code, b.owner, b.name, b.description);
  });
  return rows;
}

}  // namespace korvix::dialogs::testing
