// FrmAlgorithm: the modal editor in which a user composes one algorithm.
//
// Ten editor rows (index 0-9, shown as "1." to "10.") each pick a record
// field, a number of characters, a direction and the phonetic switch; a name,
// a description and the public/private option complete the algorithm. The
// selection dialog uses one object per New or Edit:
//
//   dialogs::FrmAlgorithm editor(toolkit);   // the toolkit that shows it
//   editor.Connection = connection;
//   editor.AlgoCode = code;                  // "" for a new algorithm
//   editor.AlgoPersonalNr = owner;           // "-" for a public one
//   editor.AlgoName = name;
//   editor.AlgoDescription = description;
//   editor.IsAdmin = is_admin;
//   editor.PersonalNr = personal_nr;
//   editor.ShowData();                       // returns once the window closed
//   if (editor.Result) code = editor.AlgoCode;   // the code as saved
//
// Nothing throws and no database failure is shown: a step that fails is
// skipped and the next one runs. Writes touch only rows of DoubletAlgorithms.
// The properties stay readable after the window has closed.
//
// Not thread-safe: the dialog lives on the thread that shows it.
#ifndef KORVIX_DIALOGS_EDITOR_FRM_ALGORITHM_H_
#define KORVIX_DIALOGS_EDITOR_FRM_ALGORITHM_H_

#include <optional>
#include <string>
#include <string_view>

#include "korvix/ui/toolkit.h"
#include "ui/form.h"

namespace korvix::db {
class Connection;
}

namespace korvix::dialogs {

class FrmAlgorithm {
 public:
  // `toolkit` shows the window and the message boxes; it must outlive the
  // dialog. The window is created here, with every control in its initial
  // state; its boxes are filled by ShowData.
  explicit FrmAlgorithm(ui::Toolkit& toolkit);
  FrmAlgorithm(const FrmAlgorithm&) = delete;
  FrmAlgorithm& operator=(const FrmAlgorithm&) = delete;

  // ---- Properties, set by the caller before ShowData.

  // The host's open connection; only the save uses it. Not owned.
  db::Connection* Connection = nullptr;
  // In: the code to edit, "" for a new algorithm. Out: after a successful
  // save, the code as saved.
  std::string AlgoCode;
  // The owner as loaded: "-" for a public algorithm, else a staff number.
  std::string AlgoPersonalNr;
  std::string AlgoName;
  std::string AlgoDescription;
  // The current user.
  bool IsAdmin = false;
  std::string PersonalNr;  // "" or "-": the user has no staff number

  // ---- Outcome.

  // True only after a successful save.
  bool Result = false;
  // True while LoadAlgorithm fills the rows, so that cboField_Click stays idle.
  bool ModifyByCode = false;

  // Fills the window from the properties, shows it modally and returns once
  // it has closed. The outcome is in Result and AlgoCode.
  void ShowData();

  // ---- Steps of the dialog, each also reachable on its own.

  // Fills the ten rows from AlgoCode, the text boxes from AlgoName and
  // AlgoDescription, and sets the public/private option for the user.
  void LoadAlgorithm();
  // Selects the whole text of the control that has the focus.
  void SelectAllText();

  // A field was chosen in row `Index`: an emptied row is removed, then the
  // row rules run.
  void cboField_Click(int Index);
  // Removes row `Index`: the rows below move up with their choices and row 9
  // ends empty.
  void ShiftRowsUp(int Index);
  // Gives used rows their default choices, clears unused ones, and enables
  // exactly the used rows, the row after them and (while row 0 is used)
  // "Speichern".
  void UpdateRowStates();

  // Encodes the rows, asks what needs asking and writes the row of the
  // table. Returns false iff the user refused a question; database failures
  // are skipped and still return true.
  bool SaveAlgorithm();

  // ---- Event handlers.

  void btnOK_Click();
  void btnCancel_Click();
  void txtName_GotFocus();
  void txtDescription_GotFocus();

  // The window's controls, for the selection dialog and for tests.
  ui::Form& form() { return form_; }

 private:
  void SetPublicOption();
  // The owner and the code that the save stores.
  std::string SaveOwner();
  std::string SaveCode();

  ui::Toolkit& toolkit_;
  ui::Form form_;
};

}  // namespace korvix::dialogs

#endif  // KORVIX_DIALOGS_EDITOR_FRM_ALGORITHM_H_
