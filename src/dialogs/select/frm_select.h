// frmSelect: the selection dialog behind ShowDlg.
//
// Lists the algorithms that the current user may see, shows the status and
// description of the selected one, and lets the user choose one ("Auswählen"),
// or create, edit and delete algorithms within the user's rights. Used like
// every dialog of the component: a fresh object, its properties set, ShowData
// (modal; returns when the window has closed), then its results read.
#ifndef KORVIX_DIALOGS_SELECT_FRM_SELECT_H_
#define KORVIX_DIALOGS_SELECT_FRM_SELECT_H_

#include <string>
#include <vector>

#include "korvix/algorithm_store.h"
#include "korvix/ui/toolkit.h"
#include "ui/form.h"

namespace korvix::dialogs {

class FrmSelect {
 public:
  // The dialog is shown by `toolkit`, which must outlive it.
  explicit FrmSelect(ui::Toolkit& toolkit);

  // ---- Properties. The caller sets the first five, calls ShowData, then
  // reads Result, ResultName and Algorithm.
  db::Connection* Connection = nullptr;  // the host's, never closed here
  std::string Algorithm;   // in: the current code; out: the chosen one
  bool IsAdmin = false;
  std::string PersonalNr;  // the current user's staff number; may be empty
  bool AllowSelect = false;  // offer "Auswählen"
  std::string ResultName;  // out: the list text of the chosen entry
  bool Result = false;     // out: the user chose an entry

  // Shows the window modally; returns when it has closed.
  void ShowData();

  // Reads the visible rows again and fills the list (selecting Algorithm).
  void RefreshList();
  void FillList();
  std::string GetOwnerName(const std::string& PersonalNr);

  void Liste_Click();
  void Liste_DblClick();
  void btnOK_Click();
  void btnCancel_Click();
  void btnNew_Click();
  void btnEdit_Click();
  void btnDelete_Click();

  // The window's controls, readable also after it has closed.
  const ui::Form& form() const { return form_; }

 private:
  // The entry of the selected list item, or null when none is selected.
  const AlgorithmEntry* SelectedEntry();
  // Opens a fresh editor on `code`, `owner`, `name` and `description`; when
  // it saved, selects the saved code and reads the list again.
  void RunEditor(const std::string& code, const std::string& owner, const std::string& name,
                 const std::string& description);

  ui::Toolkit& toolkit_;
  ui::Form form_;
  std::string IntroText;
  std::vector<AlgorithmEntry> entries_;
};

}  // namespace korvix::dialogs

#endif  // KORVIX_DIALOGS_SELECT_FRM_SELECT_H_
