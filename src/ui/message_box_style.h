// What a message box's flags ask for: its buttons, default button and icon,
// shared by the back ends that answer or draw message boxes.
#ifndef KORVIX_PLATFORM_UI_MESSAGE_BOX_STYLE_H_
#define KORVIX_PLATFORM_UI_MESSAGE_BOX_STYLE_H_

#include <vector>

#include "korvix/export.h"
#include "korvix/ui/message_box.h"

namespace korvix::ui {

enum class MessageIcon { kNone, kCritical, kQuestion, kExclamation, kInformation };

struct MessageBoxStyle {
  std::vector<int> buttons;  // result codes, left to right
  int default_result = kResultOk;
  MessageIcon icon = MessageIcon::kNone;
};

// What `flags` ask for. Unknown button sets give OK alone; a default button
// past the last one falls back to the first.
KORVIX_EXPORT MessageBoxStyle DecodeMessageBoxFlags(int flags);

}  // namespace korvix::ui

#endif  // KORVIX_PLATFORM_UI_MESSAGE_BOX_STYLE_H_
