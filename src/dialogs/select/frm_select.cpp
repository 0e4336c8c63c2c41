#include "dialogs/select/frm_select.h"

#include "dialogs/select/frm_select_form.h"
#include "store/quiet_reads.h"

namespace korvix::dialogs {
namespace {

constexpr const char* kCrLf = "\r\n";

// The general explanation, shown while no entry is selected.
std::string ComposeIntroText() {
  return std::string(
             "Hier finden Sie alle bereits definierten Algorithmen zum Bilden eines "
             "Dublettenschlüssels.") +
         kCrLf +
         "Über die Schalftfläche 'Neu' können Sie weitere Algorithmen anlegen." + kCrLf + kCrLf +
         "Ein Dublettenschlüssel besteht aus Teilen von Feldern (z.B. 3 Stellen der "
         "Postleitzahl und 5 Stellen der Straße). " +
         "Datensätze mit dem selben Dublettenschlüssel können so als Dublette erkannt werden. " +
         "Der Dublettenschlüssel kann aber auch zum Sortieren verwendet werden, so dass "
         "Datensätze mit ähnlichen Schlüsseln unmittelbar untereinander stehen." +
         kCrLf + kCrLf +
         "Der Algorithmus legt fest, aus welchen Feldern und in welcher Länge (von links bzw. "
         "von rechts) der Schlüssel besteht und ob der s.g. Soundex von Feldern gebildet werden "
         "soll. Dies ist ein phonetischer Code, der bei ähnlich lautenden Wörtern bzw. Namen "
         "identisch ist.";
}

}  // namespace

FrmSelect::FrmSelect(ui::Toolkit& toolkit) : toolkit_(toolkit), form_(FrmSelectForm()) {
  using ui::Event;
  form_.On(Event::kClick, "Liste", [this] { Liste_Click(); });
  form_.On(Event::kDblClick, "Liste", [this] { Liste_DblClick(); });
  form_.On(Event::kClick, "btnOK", [this] { btnOK_Click(); });
  form_.On(Event::kClick, "btnCancel", [this] { btnCancel_Click(); });
  form_.On(Event::kClick, "btnNew", [this] { btnNew_Click(); });
  form_.On(Event::kClick, "btnEdit", [this] { btnEdit_Click(); });
  form_.On(Event::kClick, "btnDelete", [this] { btnDelete_Click(); });
  // What ShowDlg reads back, readable by a scripted user on every toolkit.
  form_.Publish("Algorithm", &Algorithm);
  form_.Publish("ResultName", &ResultName);
  form_.Publish("Result", &Result);
}

void FrmSelect::ShowData() {
  IntroText = ComposeIntroText();
  form_.text_box("txtDescription").SetText(IntroText);
  RefreshList();
  form_.button("btnOK").SetVisible(AllowSelect);
  toolkit_.ShowModal(form_);
}

void FrmSelect::RefreshList() {
  entries_ = store::ReadVisibleAlgorithmsQuietly(Connection, PersonalNr, IsAdmin, nullptr);
  FillList();
}

void FrmSelect::FillList() {
  ui::ListControl& liste = form_.list("Liste");
  liste.Clear();
  int selected = -1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    liste.AddItem(ListText(entries_[i]));
    if (entries_[i].AlgorithmCode == Algorithm) selected = static_cast<int>(i);
  }
  // Selecting by program raises Click as the user's selection does; with no
  // entry to select, the details and buttons stay as they were.
  if (selected >= 0) liste.SetListIndex(selected);
}

std::string FrmSelect::GetOwnerName(const std::string& PersonalNr) {
  return OwnerName(Connection, PersonalNr);
}

const AlgorithmEntry* FrmSelect::SelectedEntry() {
  const int i = form_.list("Liste").ListIndex();
  return i >= 0 && i < static_cast<int>(entries_.size()) ? &entries_[static_cast<std::size_t>(i)]
                                                         : nullptr;
}

void FrmSelect::Liste_Click() {
  ui::TextBox& details = form_.text_box("txtDescription");
  const AlgorithmEntry* entry = SelectedEntry();
  if (entry == nullptr) {
    details.SetFontBold(false);
    details.SetForeColor(kDarkBlue);
    Algorithm.clear();
    details.SetText(IntroText);
    form_.button("btnEdit").SetEnabled(false);
    form_.button("btnDelete").SetEnabled(false);
    form_.button("btnOK").SetEnabled(false);
    return;
  }
  details.SetFontBold(true);
  details.SetForeColor(kBlack);
  Algorithm = entry->AlgorithmCode;
  std::string text =
      "Status: " + OwnerStatus(*entry, [this](const std::string& nr) { return GetOwnerName(nr); });
  text += "\r\n\r\n" + DescriptionText(*entry);
  details.SetText(text);
  form_.button("btnEdit").SetEnabled(true);
  form_.button("btnDelete").SetEnabled(true);
  form_.button("btnOK").SetEnabled(true);
}

void FrmSelect::Liste_DblClick() {
  if (SelectedEntry() == nullptr) return;
  if (AllowSelect) {
    if (form_.button("btnOK").Enabled()) btnOK_Click();
  } else {
    btnEdit_Click();
  }
}

void FrmSelect::btnOK_Click() {
  const AlgorithmEntry* entry = SelectedEntry();
  if (entry == nullptr) return;  // acts on no row when none is selected
  ResultName = form_.list("Liste").Text();
  Algorithm = entry->AlgorithmCode;
  Result = true;
  form_.Unload();
}

void FrmSelect::btnCancel_Click() { form_.Unload(); }

}  // namespace korvix::dialogs
