// Filling the window from the properties: rows, text boxes, public option.
#include <string>
#include <string_view>

#include "dialogs/editor/frm_algorithm.h"
#include "dialogs/editor/frm_algorithm_form.h"
#include "base/text.h"
#include "korvix/algorithm_store.h"
#include "korvix/algorithm_code.h"
#include "korvix/fields.h"

namespace korvix::dialogs {
namespace {

template <std::size_t N>
void Fill(ui::ListControl& box, const std::array<std::string_view, N>& entries) {
  box.Clear();
  for (std::string_view entry : entries) box.AddItem(entry);
}

void FillFieldBox(ui::ListControl& box) {
  box.Clear();
  box.AddItem("");
  box.SetItemData(box.NewIndex(), kFieldEnd);
  for (const RecordField& field : RecordFields()) {
    box.AddItem(field.label);
    box.SetItemData(box.NewIndex(), field.number);
  }
}

}  // namespace

void FrmAlgorithm::LoadAlgorithm() {
  ModifyByCode = true;
  form_.text_box("txtName").SetText(AlgoName);
  form_.text_box("txtDescription").SetText(AlgoDescription);

  // Every row is decoded on its own, past an empty slot too; ReadSlot reads
  // positions beyond the end of the code as blanks.
  for (int i = 0; i < kEditorRows; ++i) {
    ui::ListControl& field = form_.list("cboField", i);
    ui::ListControl& length = form_.list("cboLength", i);
    ui::ListControl& left_right = form_.list("cboLeftRight", i);
    ui::ListControl& soundex = form_.list("cboSoundex", i);
    FillFieldBox(field);
    Fill(length, kLengthEntries);
    Fill(left_right, kLeftRightEntries);
    Fill(soundex, kSoundexEntries);
    field.SetListIndex(0);

    const AlgorithmSlot slot = ReadSlot(AlgoCode, i);
    for (int entry = 0; entry < field.ListCount(); ++entry) {
      if (field.ItemData(entry) == slot.field) {
        field.SetListIndex(entry);
        break;
      }
    }

    if (field.ListIndex() < 1) {
      length.SetListIndex(-1);
      left_right.SetListIndex(-1);
      soundex.SetListIndex(-1);
    } else {
      // A length without an entry (0, 10 and more, negative) leaves the box
      // without a selection; the row rules then give it the default.
      if (slot.length != 0) {
        length.SetListIndex(slot.length - 1);
      } else {
        length.SetListIndex(-1);
      }
      // Unlike the key builder, the editor counts every digit but 0 as on.
      left_right.SetListIndex(slot.direction != 0 ? 1 : 0);
      soundex.SetListIndex(slot.phonetic != 0 ? 1 : 0);
    }
  }

  ModifyByCode = false;
  UpdateRowStates();
  SetPublicOption();
}

// An administrator may make an algorithm public, only a user with a staff
// number may make it private; a new one starts public for an administrator.
void FrmAlgorithm::SetPublicOption() {
  ui::OptionButton& is_public = form_.option("optPublic", 0);
  ui::OptionButton& is_private = form_.option("optPublic", 1);
  const bool has_owner = HasOwner(AlgoPersonalNr);

  if (IsAdmin) {
    is_public.SetEnabled(true);
    if (text::TrimBlanks(std::string_view(AlgoCode)).empty() || !has_owner) {
      is_public.SetValue(true);
    } else {
      is_private.SetValue(true);
    }
  } else if (has_owner) {
    is_private.SetValue(true);
  }

  if (HasOwner(PersonalNr)) is_private.SetEnabled(true);
}

}  // namespace korvix::dialogs
