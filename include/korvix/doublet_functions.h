// DoubletFunctions: the component's public class, the host's way in.
//
// Programmatic identifier "Korvix.DoubletFunctions", version 2.0. The class
// holds no state: any number of objects may exist, they share nothing, and
// every call depends only on its arguments. No method throws; each returns
// whatever result stands when its work ends.
//
//   korvix::DoubletFunctions df;
//   std::string key = df.BuildDoubletKey("0103000000000000", record);
#ifndef KORVIX_DOUBLET_FUNCTIONS_H_
#define KORVIX_DOUBLET_FUNCTIONS_H_

#include <string>
#include <string_view>

#include "korvix/export.h"

namespace korvix {

namespace db {
class Connection;
}

inline constexpr std::string_view kProgId = "Korvix.DoubletFunctions";

class KORVIX_EXPORT DoubletFunctions {
 public:
  // The duplicate key of record string `Data` under algorithm code
  // `Algorithm`. `Data` is only read. An empty code gives "".
  std::string BuildDoubletKey(std::string_view Algorithm, const std::string& Data) const noexcept;

  // The readable description of `Algorithm`, such as "3(PLZ)+5(Straße)".
  std::string TranslateAlgorithm(std::string_view Algorithm) const noexcept;

  // The name of algorithm `Algorithm` as user `PersonalNr` sees it: the
  // user's own row first, else the public one; the description of the code
  // when neither has a name or the table cannot be read. `Connection` is the
  // host's open connection (null or closed reads as no table); never changed.
  std::string GetAlgorithmName(db::Connection* Connection, std::string_view Algorithm,
                               std::string_view PersonalNr) const noexcept;

  // Shows the selection dialog modally on the process's dialog toolkit
  // (korvix/ui/toolkit.h: SetDefaultToolkit) and returns the code that the
  // user chose, or "" when the dialog was closed without a choice. On a
  // choice, sets *AlgorithmName (when given) to the chosen entry's list
  // text; otherwise leaves it alone. `Algorithm` is selected at the start
  // when listed; `AllowSelect` false hides "Auswählen" (a double click then
  // edits) and is never changed.
  std::string ShowDlg(db::Connection* Connection, std::string_view Algorithm = "",
                      std::string_view PersonalNr = "", bool IsAdmin = false,
                      const bool& AllowSelect = true, std::string* AlgorithmName = nullptr) const noexcept;

  // The phonetic code of `Text`, such as "MR" for "Meier".
  std::string BuildSoundexString(std::string_view Text) const noexcept;
};

}  // namespace korvix

#endif  // KORVIX_DOUBLET_FUNCTIONS_H_
