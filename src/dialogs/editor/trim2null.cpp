#include <optional>
#include <string>
#include <string_view>

#include "dialogs/editor/frm_algorithm.h"
#include "base/text.h"

namespace korvix::dialogs {

std::optional<std::string> Trim2Null(std::string_view text) {
  const std::string_view trimmed = text::TrimBlanks(text);
  if (trimmed.empty()) return std::nullopt;
  return std::string(trimmed);
}

}  // namespace korvix::dialogs
