#include "dialogs/dialog_fixture.h"

#include <algorithm>
#include <tuple>

#include "korvix/doublet_functions.h"
#include "korvix/ui/toolkit.h"

namespace korvix::dialogs::testing {

using db::testing::BackendKind;

std::string DialogParamName(const ::testing::TestParamInfo<DialogParam>& info) {
  return info.param.toolkit + (info.param.backend == BackendKind::kSqlite ? "Sqlite" : "Postgres");
}

void DialogTest::SetUp() {
  DatabaseTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  toolkit_ = GetParam().make();
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

Rows DialogTest::Table() {
  // A session of its own: the test's may be closed, and its statement log
  // must show only what the dialogs issued.
  std::unique_ptr<db::Connection> reader = Connect();
  return reader ? Sorted(db::testing::ReadRows(reader.get(), "Select * From DoubletAlgorithms"))
                : Rows{};
}

Rows DialogTest::Sorted(Rows rows) {
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    return std::tie(a.code, a.owner, a.name, a.description) <
           std::tie(b.code, b.owner, b.name, b.description);
  });
  return rows;
}

std::unique_ptr<FrmAlgorithm> DialogTest::Edit(const Caller& caller, ui::Script script) {
  toolkit_->QueueScript("frmAlgorithm", std::move(script));
  auto editor = std::make_unique<FrmAlgorithm>(*toolkit_);
  editor->Connection = connection_.get();
  editor->AlgoCode = caller.AlgoCode;
  editor->AlgoPersonalNr = caller.AlgoPersonalNr;
  editor->AlgoName = caller.AlgoName;
  editor->AlgoDescription = caller.AlgoDescription;
  editor->IsAdmin = caller.IsAdmin;
  editor->PersonalNr = caller.PersonalNr;
  editor->ShowData();
  EXPECT_EQ(toolkit_->pending_scripts("frmAlgorithm"), 0u) << "the window was never shown";
  return editor;
}

std::string DialogTest::Show(const std::string& nr, bool admin, ui::Script select,
                             ui::Script edit, const std::string& algorithm, bool allow_select,
                             std::string* name) {
  toolkit_->QueueScript("frmSelect", std::move(select));
  if (edit) toolkit_->QueueScript("frmAlgorithm", std::move(edit));
  std::string ignored;
  return DoubletFunctions().ShowDlg(connection_.get(), algorithm, nr, admin, allow_select,
                                    name != nullptr ? name : &ignored);
}

std::string RowText(const ui::User& user, int i) {
  return user.State({"cboField", i}).text + "|" + user.State({"cboLength", i}).text + "|" +
         user.State({"cboLeftRight", i}).text + "|" + user.State({"cboSoundex", i}).text;
}

std::vector<std::string> RowTexts(const ui::User& user) {
  std::vector<std::string> rows;
  for (int i = 0; i < 10; ++i) rows.push_back(RowText(user, i));
  return rows;
}

std::vector<std::string> Padded(std::vector<std::string> used) {
  used.resize(10, "|||");
  return used;
}

std::string Enabling(const ui::User& user) {
  std::string fields, details;
  for (int i = 0; i < 10; ++i) {
    fields += user.State({"cboField", i}).enabled ? 'F' : '.';
    int enabled = 0;
    for (const char* box : {"cboLength", "cboLeftRight", "cboSoundex"}) {
      enabled += user.State({box, i}).enabled ? 1 : 0;
    }
    details += enabled == 3 ? 'D' : enabled == 0 ? '.' : '?';
  }
  return fields + " " + details;
}

}  // namespace korvix::dialogs::testing
