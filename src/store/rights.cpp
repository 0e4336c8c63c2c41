#include "store/rights.h"

#include "base/text.h"
#include "korvix/algorithm_store.h"

namespace korvix {

bool IsPublicOwner(std::string_view owner) { return owner == kPublicOwner; }

bool HasOwner(std::string_view owner) {
  const std::string_view trimmed = text::TrimBlanks(owner);
  return !trimmed.empty() && trimmed != kPublicOwner;
}

bool MaySee(std::string_view owner, std::string_view personal_nr, bool is_admin) {
  return is_admin || owner == personal_nr || IsPublicOwner(owner);
}

bool MayCreate(std::string_view personal_nr, bool is_admin) {
  return is_admin || personal_nr.find_first_not_of(' ') != std::string_view::npos;
}

bool MayEdit(std::string_view owner, bool is_admin) { return is_admin || !IsPublicOwner(owner); }

bool MayDelete(std::string_view owner, bool is_admin) { return MayEdit(owner, is_admin); }

}  // namespace korvix
