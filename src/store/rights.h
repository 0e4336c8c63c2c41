// Who may see and change which algorithm. The dialogs check these before a
// command and show their refusals; the store's writes check them for a
// caller that names the acting user (korvix::StoreUser).
#ifndef KORVIX_STORE_RIGHTS_H_
#define KORVIX_STORE_RIGHTS_H_

#include <string_view>

namespace korvix {

// An administrator sees every row; anybody else the public rows and the rows
// of the own staff number.
bool MaySee(std::string_view owner, std::string_view personal_nr, bool is_admin);
// An administrator, or a user whose staff number is not blank.
bool MayCreate(std::string_view personal_nr, bool is_admin);
// An administrator any listed row; anybody else a listed row that is not public.
bool MayEdit(std::string_view owner, bool is_admin);
bool MayDelete(std::string_view owner, bool is_admin);

}  // namespace korvix

#endif  // KORVIX_STORE_RIGHTS_H_
