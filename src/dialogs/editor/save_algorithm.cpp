// Saving: encode the rows, ask what needs asking, have the store write the row.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/editor/frm_algorithm.h"
#include "dialogs/editor/frm_algorithm_form.h"
#include "base/text.h"
#include "korvix/algorithm_code.h"
#include "korvix/algorithm_store.h"
#include "korvix/description.h"
#include "korvix/ui/message_box.h"

namespace korvix::dialogs {
namespace {

constexpr std::string_view kCrLf = "\r\n";

constexpr int kStandardNameFlags = ui::kOkCancel + ui::kQuestion + ui::kDefaultButton2;  // 289
constexpr int kOverwriteFlags = ui::kYesNo + ui::kQuestion + ui::kDefaultButton2;        // 292

std::string StandardNamePrompt(std::string_view standard_name) {
  std::string prompt =
      "Sie haben keinen Namen für den Algorithmus angegeben. In der Auswahlliste wird deshalb";
  prompt.append(kCrLf).append(kCrLf).append(standard_name).append(kCrLf).append(kCrLf);
  prompt.append("angezeigt.");
  return prompt;
}

std::string OverwritePrompt(std::string_view existing_name) {
  std::string prompt = "Der von Ihnen definierte Algorithmus existiert bereits unter dem Namen ";
  prompt.append(kCrLf).append(kCrLf).append(existing_name).append(".");
  prompt.append(kCrLf).append(kCrLf).append("Möchten Sie diesen überschreiben?");
  return prompt;
}

bool IsBlank(std::string_view s) { return text::TrimBlanks(s).empty(); }

}  // namespace

std::string FrmAlgorithm::SaveOwner() {
  if (form_.option("optPublic", 0).Value()) return std::string(kPublicOwner);
  // A private algorithm keeps its owner, also when an administrator edits it.
  std::string owner;
  if (AlgoPersonalNr != kPublicOwner) owner = AlgoPersonalNr;
  if (owner.empty()) owner = PersonalNr;
  return owner;
}

std::string FrmAlgorithm::SaveCode() {
  std::vector<AlgorithmSlot> slots;
  for (int i = 0; i < kEditorRows; ++i) {
    ui::ListControl& field = form_.list("cboField", i);
    if (field.ListIndex() < 1) break;
    slots.push_back(AlgorithmSlot{
        .field = field.ItemData(field.ListIndex()).value_or(0),
        .length = ReadNumber(form_.list("cboLength", i).Text()),
        .direction = form_.list("cboLeftRight", i).ListIndex(),
        .phonetic = form_.list("cboSoundex", i).ListIndex(),
    });
  }
  return WriteAlgorithmCode(slots);
}

bool FrmAlgorithm::SaveAlgorithm() {
  const std::string owner = SaveOwner();
  const std::string code = SaveCode();
  const std::string name = form_.text_box("txtName").Text();

  // Asked before the table is touched, so a refusal leaves no trace there.
  if (IsBlank(name)) {
    const int answer = toolkit_.MessageBox(StandardNamePrompt(DescribeAlgorithm(code)),
                                           kStandardNameFlags, "Standardname verwenden?");
    if (answer != ui::kResultOk) {
      form_.text_box("txtName").SetFocus();
      return false;
    }
  }

  const SaveRequest request{.code = code,
                            .owner = owner,
                            .name = Trim2Null(name),
                            .description = Trim2Null(form_.text_box("txtDescription").Text()),
                            .loaded_code = AlgoCode,
                            .loaded_owner = AlgoPersonalNr};
  const auto overwrite = [this](const std::string& existing) {
    return toolkit_.MessageBox(OverwritePrompt(existing), kOverwriteFlags,
                               "Algoritmus überschreiben?") == ui::kResultYes;
  };
  // A database failure is not shown: the dialog closes as after a save.
  WriteResult result = WriteResult::kDone;
  try {
    result = korvix::SaveAlgorithm(Connection, request, overwrite);
  } catch (const Error&) {
  }
  if (result == WriteResult::kDeclined) return false;

  AlgoCode = code;
  return true;
}

}  // namespace korvix::dialogs
