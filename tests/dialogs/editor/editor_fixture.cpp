#include "dialogs/editor/editor_fixture.h"


namespace korvix::dialogs::editor_testing {

std::unique_ptr<FrmAlgorithm> EditorTest::MakeEditor(const Caller& caller) {
  auto editor = std::make_unique<FrmAlgorithm>(*toolkit_);
  editor->Connection = connection_.get();
  editor->AlgoCode = caller.AlgoCode;
  editor->AlgoPersonalNr = caller.AlgoPersonalNr;
  editor->AlgoName = caller.AlgoName;
  editor->AlgoDescription = caller.AlgoDescription;
  editor->IsAdmin = caller.IsAdmin;
  editor->PersonalNr = caller.PersonalNr;
  return editor;
}

std::unique_ptr<FrmAlgorithm> EditorTest::Run(const Caller& caller, ui::Script script) {
  toolkit_->QueueScript("frmAlgorithm", std::move(script));
  std::unique_ptr<FrmAlgorithm> editor = MakeEditor(caller);
  editor->ShowData();
  EXPECT_EQ(toolkit_->pending_scripts("frmAlgorithm"), 0u) << "the window was never shown";
  return editor;
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

std::string FieldEnabling(const ui::User& user) {
  std::string mask;
  for (int i = 0; i < 10; ++i) mask += user.State({"cboField", i}).enabled ? 'F' : '.';
  return mask;
}

std::string DetailEnabling(const ui::User& user) {
  std::string mask;
  for (int i = 0; i < 10; ++i) {
    int enabled = 0;
    for (const char* box : {"cboLength", "cboLeftRight", "cboSoundex"}) {
      enabled += user.State({box, i}).enabled ? 1 : 0;
    }
    mask += enabled == 3 ? 'D' : enabled == 0 ? '.' : '?';
  }
  return mask;
}

}  // namespace korvix::dialogs::editor_testing
