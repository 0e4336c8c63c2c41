#include "dialogs/select/frm_select.h"
#include "korvix/doublet_functions.h"
#include "korvix/ui/toolkit.h"

namespace korvix {

std::string DoubletFunctions::ShowDlg(db::Connection* Connection, std::string_view Algorithm,
                                      std::string_view PersonalNr, bool IsAdmin,
                                      const bool& AllowSelect, std::string* AlgorithmName) const noexcept {
  dialogs::FrmSelect dialog(ui::DefaultToolkit());
  dialog.Connection = Connection;
  dialog.Algorithm = Algorithm;
  dialog.IsAdmin = IsAdmin;
  dialog.PersonalNr = PersonalNr;
  dialog.AllowSelect = AllowSelect;
  dialog.ShowData();
  if (!dialog.Result) return std::string();
  if (AlgorithmName != nullptr) *AlgorithmName = dialog.ResultName;
  return dialog.Algorithm;
}

}  // namespace korvix
