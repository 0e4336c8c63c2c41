// The selection dialog's commands that change the table: New, Edit, Delete.
#include "dialogs/editor/frm_algorithm.h"
#include "dialogs/select/frm_select.h"
#include "korvix/ui/message_box.h"
#include "store/rights.h"

namespace korvix::dialogs {
namespace {

constexpr int kRefusal = ui::kOkOnly | ui::kExclamation;                     // 48
constexpr int kConfirm = ui::kYesNo | ui::kQuestion | ui::kDefaultButton2;  // 292

constexpr const char* kNewRefused =
    "Neu Dubletten-Alogrithmen können nur von Benutzern mit Personalzuordnung bzw. "
    "Administratoren angelegt werden.";
constexpr const char* kEditRefused =
    "Öffentliche Dubletten-Alogrithmen können nur von Administratoren bearbeitet werden.";
constexpr const char* kDeleteRefused =
    "Öffentliche Dubletten-Alogrithmen können nur von Administratoren gelöscht werden.";

}  // namespace

void FrmSelect::RunEditor(const std::string& code, const std::string& owner,
                          const std::string& name, const std::string& description) {
  FrmAlgorithm editor(toolkit_);
  editor.Connection = Connection;
  editor.AlgoCode = code;
  editor.AlgoPersonalNr = owner;
  editor.AlgoName = name;
  editor.AlgoDescription = description;
  editor.IsAdmin = IsAdmin;
  editor.PersonalNr = PersonalNr;
  editor.ShowData();
  if (editor.Result) {
    Algorithm = editor.AlgoCode;
    RefreshList();
  }
}

void FrmSelect::btnNew_Click() {
  form_.list("Liste").SetFocus();
  if (!MayCreate(PersonalNr, IsAdmin)) {
    toolkit_.MessageBox(kNewRefused, kRefusal, "Dubletten-Algorithmus anlegen");
    return;
  }
  RunEditor("", PersonalNr, "", "");
}

void FrmSelect::btnEdit_Click() {
  form_.list("Liste").SetFocus();
  const AlgorithmEntry* entry = SelectedEntry();
  if (entry == nullptr) return;  // acts on no row when none is selected
  if (!MayEdit(entry->PersonalNr, IsAdmin)) {
    toolkit_.MessageBox(kEditRefused, kRefusal, "Dubletten-Algorithmus bearbeiten");
    return;
  }
  // A copy: the reload after a save replaces the entries.
  const AlgorithmEntry edited = *entry;
  RunEditor(edited.AlgorithmCode, edited.PersonalNr, edited.AlgorithmName, edited.Description);
}

void FrmSelect::btnDelete_Click() {
  ui::ListControl& liste = form_.list("Liste");
  liste.SetFocus();
  const AlgorithmEntry* entry = SelectedEntry();
  if (entry == nullptr) return;  // acts on no row when none is selected
  if (!MayDelete(entry->PersonalNr, IsAdmin)) {
    toolkit_.MessageBox(kDeleteRefused, kRefusal, "Dubletten-Algorithmus löschen");
    return;
  }
  const std::string prompt =
      "Möchten Sie den Algorithmus\r\n\r\n" + liste.Text() + "\r\n\r\nwirklich löschen?";
  if (toolkit_.MessageBox(prompt, kConfirm, "Dubletten-Algorithmus löschen?") ==
      ui::kResultNo) {
    return;
  }
  // A failed delete deletes nothing and is not shown; the list shows the
  // table as it now is.
  try {
    (void)DeleteAlgorithm(Connection, entry->AlgorithmCode, entry->PersonalNr);
  } catch (const Error&) {
  }
  liste.SetListIndex(-1);  // runs Liste_Click: no entry selected
  RefreshList();
}

}  // namespace korvix::dialogs
