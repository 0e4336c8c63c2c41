#include "korvix/doublet_functions.h"

#include "dialogs/select/frm_select.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"
#include "korvix/ui/toolkit.h"
#include "store/quiet_reads.h"

namespace korvix {

std::string DoubletFunctions::BuildDoubletKey(std::string_view Algorithm,
                                              const std::string& Data) const noexcept {
  return BuildKey(Algorithm, Data);
}

std::string DoubletFunctions::TranslateAlgorithm(std::string_view Algorithm) const noexcept {
  return DescribeAlgorithm(Algorithm);
}

std::string DoubletFunctions::GetAlgorithmName(db::Connection* Connection,
                                               std::string_view Algorithm,
                                               std::string_view PersonalNr) const noexcept {
  return store::LookupAlgorithmNameQuietly(Connection, Algorithm, PersonalNr, nullptr);
}

std::string DoubletFunctions::BuildSoundexString(std::string_view Text) const noexcept {
  return PhoneticCode(Text);
}

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
