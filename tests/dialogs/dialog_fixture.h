// The dialogs' scenarios: the component's dialogs shown on a toolkit whose
// user is scripted, over a database of the test's own.
//
// Every scenario runs once per toolkit back end (ToolkitFactories) and
// database back end. A further toolkit joins by adding its factory.
#ifndef KORVIX_TESTS_DIALOGS_DIALOG_FIXTURE_H_
#define KORVIX_TESTS_DIALOGS_DIALOG_FIXTURE_H_

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "korvix/ui/scripting.h"
#include "platform/db/backend_fixture.h"

namespace korvix::dialogs::testing {

struct ToolkitFactory {
  std::string name;  // a valid test name part, e.g. "Headless"
  std::function<std::unique_ptr<ui::ScriptedToolkit>()> make;
};

// The toolkits this test binary was built with.
std::vector<ToolkitFactory> ToolkitFactories();

struct DialogParam {
  ToolkitFactory toolkit;
  db::testing::BackendKind backend;
};
void PrintTo(const DialogParam& param, std::ostream* os);
std::string DialogParamName(const ::testing::TestParamInfo<DialogParam>& info);
// Every toolkit with every database back end.
std::vector<DialogParam> DialogParams();

class DialogTest : public db::testing::DatabaseTest,
                   public ::testing::WithParamInterface<DialogParam> {
 protected:
  db::testing::BackendKind backend() const override { return GetParam().backend; }
  void SetUp() override;
  void TearDown() override;

  // A fresh toolkit and an empty database, for the next case of a table.
  void Restart() {
    TearDown();
    SetUp();
  }

  // `rows` in the order Rows() gives them.
  static std::vector<db::testing::AlgorithmRow> Sorted(std::vector<db::testing::AlgorithmRow> rows);

  // Every row of DoubletAlgorithms, sorted by code, owner, name, description
  // (Null first), read through a session of its own.
  std::vector<db::testing::AlgorithmRow> Rows();

  // The process's toolkit for this test; ShowDlg shows its dialogs on it.
  std::unique_ptr<ui::ScriptedToolkit> toolkit_;
};

}  // namespace korvix::dialogs::testing

#endif  // KORVIX_TESTS_DIALOGS_DIALOG_FIXTURE_H_
