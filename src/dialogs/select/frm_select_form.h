// The window of the selection dialog, as data.
#ifndef KORVIX_DIALOGS_SELECT_FRM_SELECT_FORM_H_
#define KORVIX_DIALOGS_SELECT_FRM_SELECT_FORM_H_

#include "ui/form_description.h"

namespace korvix::dialogs {

// "Dupletten-Algorithmen": the list, the details box and five buttons.
ui::FormDescription FrmSelectForm();

// Text colours of the details box in its two display states.
inline constexpr ui::Color kDarkBlue = ui::Color::Rgb(0, 0, 128);
inline constexpr ui::Color kBlack = ui::Color::Rgb(0, 0, 0);

}  // namespace korvix::dialogs

#endif  // KORVIX_DIALOGS_SELECT_FRM_SELECT_FORM_H_
