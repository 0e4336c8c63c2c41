// The dialogs' scenarios: the component's dialogs shown on a toolkit whose
// user is scripted, over a database of the test's own, once per toolkit and
// database back end that the suite binary names (DialogParams).
#ifndef KORVIX_TESTS_DIALOGS_DIALOG_FIXTURE_H_
#define KORVIX_TESTS_DIALOGS_DIALOG_FIXTURE_H_

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialogs/editor/frm_algorithm.h"
#include "korvix/ui/scripting.h"
#include "db/backend_fixture.h"

namespace korvix::dialogs::testing {

using Row = db::testing::AlgorithmRow;
using Rows = std::vector<Row>;
inline constexpr std::nullopt_t Null = std::nullopt;

struct DialogParam {
  std::string toolkit;  // a valid test name part, e.g. "Headless"
  std::function<std::unique_ptr<ui::ScriptedToolkit>()> make;
  db::testing::BackendKind backend;
};
std::string DialogParamName(const ::testing::TestParamInfo<DialogParam>& info);
inline void PrintTo(const DialogParam& param, std::ostream* os) { *os << param.toolkit; }
// The toolkits and database back ends this test binary runs the scenarios on.
std::vector<DialogParam> DialogParams();

// Who opens the editor, and on what.
struct Caller {
  std::string AlgoCode{};
  std::string AlgoPersonalNr{};
  std::string AlgoName{};
  std::string AlgoDescription{};
  bool IsAdmin = false;
  std::string PersonalNr{};
};

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

  // Every row of DoubletAlgorithms, sorted, read through a session of its own.
  Rows Table();
  static Rows Sorted(Rows rows);

  // A fresh editor on `caller`, shown with `script` playing the user.
  std::unique_ptr<FrmAlgorithm> Edit(const Caller& caller, ui::Script script);
  // ShowDlg as user `nr`, the selection dialog played by `select` and the
  // editor it opens (if any) by `edit`; the name argument in *name.
  std::string Show(const std::string& nr, bool admin, ui::Script select, ui::Script edit = {},
                   const std::string& algorithm = "", bool allow_select = true,
                   std::string* name = nullptr);
  const std::vector<ui::MessageBoxRecord>& Boxes() const { return toolkit_->message_boxes(); }

  std::unique_ptr<ui::ScriptedToolkit> toolkit_;
};

// Editor row i as "field|length|direction|phonetic", the texts of its four
// boxes: "PLZ|3 Stellen|von links|Soundex AUS"; an unused row reads "|||".
std::string RowText(const ui::User& user, int i);
// The ten rows' texts; Padded(used) is `used` followed by "|||" up to ten.
std::vector<std::string> RowTexts(const ui::User& user);
std::vector<std::string> Padded(std::vector<std::string> used);
// Enabling of the ten rows, one character per row, field boxes then detail
// boxes: "FF........ D........." ("D" all three enabled, "." none, "?" mixed).
std::string Enabling(const ui::User& user);

}  // namespace korvix::dialogs::testing

#endif  // KORVIX_TESTS_DIALOGS_DIALOG_FIXTURE_H_
