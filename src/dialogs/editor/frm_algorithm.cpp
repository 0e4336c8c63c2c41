#include "dialogs/editor/frm_algorithm.h"

#include "dialogs/editor/frm_algorithm_form.h"
#include "ui/text_box.h"

namespace korvix::dialogs {

FrmAlgorithm::FrmAlgorithm(ui::Toolkit& toolkit)
    : toolkit_(toolkit), form_(FrmAlgorithmDescription()) {
  form_.On(ui::Event::kClick, "cboField", [this](int index) { cboField_Click(index); });
  form_.On(ui::Event::kClick, "btnOK", [this] { btnOK_Click(); });
  form_.On(ui::Event::kClick, "btnCancel", [this] { btnCancel_Click(); });
  form_.On(ui::Event::kGotFocus, "txtName", [this] { txtName_GotFocus(); });
  form_.On(ui::Event::kGotFocus, "txtDescription", [this] { txtDescription_GotFocus(); });
  // The close box needs no handler: like "Abbrechen" it writes nothing and
  // leaves Result as it is.
  // What the selection dialog reads back, readable by a scripted user on
  // every toolkit.
  form_.Publish("AlgoCode", &AlgoCode);
  form_.Publish("AlgoPersonalNr", &AlgoPersonalNr);
  form_.Publish("Result", &Result);
}

void FrmAlgorithm::ShowData() {
  LoadAlgorithm();
  toolkit_.ShowModal(form_);
}

void FrmAlgorithm::SelectAllText() {
  ui::Control& control = form_.active_control();
  control.SetSelStart(0);
  control.SetSelLength(ui::CharacterCount(control.Text()));
}

void FrmAlgorithm::btnOK_Click() {
  Result = SaveAlgorithm();
  if (Result) form_.Unload();
}

void FrmAlgorithm::btnCancel_Click() { form_.Unload(); }

void FrmAlgorithm::txtName_GotFocus() { SelectAllText(); }

void FrmAlgorithm::txtDescription_GotFocus() { SelectAllText(); }

}  // namespace korvix::dialogs
