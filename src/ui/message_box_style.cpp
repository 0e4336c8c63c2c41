#include "ui/message_box_style.h"

namespace korvix::ui {

MessageBoxStyle DecodeMessageBoxFlags(int flags) {
  MessageBoxStyle style;
  switch (flags & 0x0F) {
    case kOkCancel: style.buttons = {kResultOk, kResultCancel}; break;
    case kAbortRetryIgnore: style.buttons = {kResultAbort, kResultRetry, kResultIgnore}; break;
    case kYesNoCancel: style.buttons = {kResultYes, kResultNo, kResultCancel}; break;
    case kYesNo: style.buttons = {kResultYes, kResultNo}; break;
    case kRetryCancel: style.buttons = {kResultRetry, kResultCancel}; break;
    default: style.buttons = {kResultOk}; break;
  }
  const std::size_t default_button = static_cast<std::size_t>((flags >> 8) & 0x0F);
  style.default_result =
      style.buttons[default_button < style.buttons.size() ? default_button : 0];
  switch (flags & 0xF0) {
    case kCritical: style.icon = MessageIcon::kCritical; break;
    case kQuestion: style.icon = MessageIcon::kQuestion; break;
    case kExclamation: style.icon = MessageIcon::kExclamation; break;
    case kInformation: style.icon = MessageIcon::kInformation; break;
    default: style.icon = MessageIcon::kNone; break;
  }
  return style;
}

}  // namespace korvix::ui
