// The editor's scenarios: a fresh dialog on a toolkit with a scripted user,
// over a database of the test's own, on every toolkit and database back end
// (dialogs/dialog_fixture.h).
#ifndef KORVIX_TESTS_DIALOGS_EDITOR_EDITOR_FIXTURE_H_
#define KORVIX_TESTS_DIALOGS_EDITOR_EDITOR_FIXTURE_H_

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialogs/editor/frm_algorithm.h"
#include "korvix/db/connection.h"
#include "korvix/db/recordset.h"
#include "dialogs/dialog_fixture.h"
#include "korvix/ui/scripting.h"

namespace korvix::dialogs::editor_testing {

// One row of DoubletAlgorithms; std::nullopt is Null.
using Row = db::testing::AlgorithmRow;

// The user's caller: who opens the editor, and on what.
struct Caller {
  std::string AlgoCode{};
  std::string AlgoPersonalNr{};
  std::string AlgoName{};
  std::string AlgoDescription{};
  bool IsAdmin = false;
  std::string PersonalNr{};
};

class EditorTest : public testing::DialogTest {
 protected:

  // A fresh editor on this test's toolkit and connection, with `caller`'s
  // properties set in the order the selection dialog sets them.
  std::unique_ptr<FrmAlgorithm> MakeEditor(const Caller& caller);
  // Queues `script` for the editor's window, makes an editor and runs ShowData.
  std::unique_ptr<FrmAlgorithm> Run(const Caller& caller, ui::Script script);
};

// ---- Reading the window as the user sees it.

// Row i as "field|length|direction|phonetic", the texts of its four boxes:
// "PLZ|3 Stellen|von links|Soundex AUS"; an unused row reads "|||".
std::string RowText(const ui::User& user, int i);
// The ten rows' texts.
std::vector<std::string> RowTexts(const ui::User& user);
// `used` followed by "|||" up to ten rows.
std::vector<std::string> Padded(std::vector<std::string> used);

// Enabling of the ten rows, one character per row: field boxes "F" enabled,
// "." disabled, e.g. "FF........"; detail boxes "D" when all three are
// enabled, "." when all three are disabled, "?" when they disagree.
std::string FieldEnabling(const ui::User& user);
std::string DetailEnabling(const ui::User& user);

}  // namespace korvix::dialogs::editor_testing

#endif  // KORVIX_TESTS_DIALOGS_EDITOR_EDITOR_FIXTURE_H_
