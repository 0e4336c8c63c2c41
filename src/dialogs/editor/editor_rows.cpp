// How the rows react to one another: removal, defaults, enabling.
#include "dialogs/editor/frm_algorithm.h"
#include "dialogs/editor/frm_algorithm_form.h"

namespace korvix::dialogs {
namespace {

constexpr const char* kDetailBoxes[] = {"cboLength", "cboLeftRight", "cboSoundex"};
constexpr int kDetailDefaults[] = {kDefaultLengthIndex, kDefaultLeftRightIndex,
                                   kDefaultSoundexIndex};

}  // namespace

void FrmAlgorithm::cboField_Click(int Index) {
  if (ModifyByCode) return;
  if (form_.list("cboField", Index).ListIndex() < 1) ShiftRowsUp(Index);
  UpdateRowStates();
}

// The puts below raise Click on every field box whose position changes, so
// cboField_Click runs nested. That is harmless: a put of the position a box
// already has raises nothing, so the removal of an emptied row cannot start
// itself again, and the nested runs end in the same state as one removal.
void FrmAlgorithm::ShiftRowsUp(int Index) {
  constexpr const char* kRowBoxes[] = {"cboField", "cboLength", "cboLeftRight", "cboSoundex"};
  for (int i = Index; i < kEditorRows - 1; ++i) {
    for (const char* box : kRowBoxes) {
      form_.list(box, i).SetListIndex(form_.list(box, i + 1).ListIndex());
    }
  }
  const int last = kEditorRows - 1;
  form_.list("cboField", last).SetListIndex(0);
  for (const char* box : kDetailBoxes) form_.list(box, last).SetListIndex(-1);
}

void FrmAlgorithm::UpdateRowStates() {
  for (int i = 0; i < kEditorRows; ++i) {
    const bool used = form_.list("cboField", i).ListIndex() >= 1;
    for (int k = 0; k < 3; ++k) {
      ui::ListControl& box = form_.list(kDetailBoxes[k], i);
      if (!used && box.ListIndex() != -1) box.SetListIndex(-1);
      if (used && box.ListIndex() == -1) box.SetListIndex(kDetailDefaults[k]);
    }
    for (const char* name : kDetailBoxes) form_.list(name, i).SetEnabled(used);
    // Only the row right after the used ones is open for a new field.
    if (i < kEditorRows - 1) form_.list("cboField", i + 1).SetEnabled(used);
  }
  ui::CommandButton& save = form_.button("btnOK");
  const bool row0_used = form_.list("cboField", 0).ListIndex() >= 1;
  if (save.Enabled() != row0_used) save.SetEnabled(row0_used);
}

}  // namespace korvix::dialogs
