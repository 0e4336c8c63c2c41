// Saving: encode the rows, ask what needs asking, write the table's row.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/editor/frm_algorithm.h"
#include "dialogs/editor/frm_algorithm_form.h"
#include "base/text.h"
#include "korvix/algorithm_code.h"
#include "korvix/algorithm_store.h"
#include "korvix/db/recordset.h"
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

// Codes and owners count as the same when they differ only in letter case.
bool SameIgnoringCase(std::string_view a, std::string_view b) {
  const text::Text x = text::Decode(a);
  const text::Text y = text::Decode(b);
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (text::Upper(x[i]) != text::Upper(y[i])) return false;
  }
  return true;
}

bool IsBlank(std::string_view s) { return text::TrimBlanks(s).empty(); }

// The column as text, Null and a failed read both giving "".
std::string ReadText(const db::Recordset& rs, std::string_view column) {
  db::Value value;
  if (!rs.Field(column, &value)) return std::string();
  return AsText(value);
}

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

  db::Recordset rs;
  (void)rs.Open(AlgorithmStatement(code, owner), Connection, db::adOpenKeyset,
                db::adLockOptimistic);
  // An end test that fails counts as finding no row.
  const std::optional<bool> eof = rs.Eof();
  if (!eof.has_value() || *eof) {
    (void)rs.AddNew();
  } else {
    std::string existing = ReadText(rs, "AlgorithmName");
    if (IsBlank(existing)) existing = DescribeAlgorithm(ReadText(rs, "AlgorithmCode"));
    // The same code and owner as loaded is the algorithm itself: no question.
    if (!SameIgnoringCase(code, AlgoCode) || !SameIgnoringCase(owner, AlgoPersonalNr)) {
      const int answer = toolkit_.MessageBox(OverwritePrompt(existing), kOverwriteFlags,
                                             "Algoritmus überschreiben?");
      if (answer != ui::kResultYes) {
        rs.Close();
        return false;
      }
    }
  }

  (void)rs.SetField("AlgorithmCode", code);
  (void)rs.SetField("PersonalNr", owner);
  (void)rs.SetField("AlgorithmName", Trim2Null(name));
  (void)rs.SetField("Description", Trim2Null(form_.text_box("txtDescription").Text()));
  (void)rs.Update();
  rs.Close();

  // A changed code or owner leaves the row as loaded behind: remove it.
  if (!IsBlank(AlgoCode) &&
      (!SameIgnoringCase(code, AlgoCode) || !SameIgnoringCase(owner, AlgoPersonalNr))) {
    (void)rs.Open(AlgorithmStatement(AlgoCode, AlgoPersonalNr), Connection, db::adOpenKeyset,
                  db::adLockOptimistic);
    if (rs.Eof() != std::optional<bool>(true)) (void)rs.Delete(db::adAffectCurrent);
  }
  rs.Close();

  AlgoCode = code;
  return true;
}

}  // namespace korvix::dialogs
