// Message box flags and result codes.
//
// The flags add up: buttons (0-5) + icon (16, 32, 48, 64) + default button
// (0, 256, 512). The dialogs use 48 (OK, exclamation), 289 (OK and Cancel,
// question, Cancel default) and 292 (Yes and No, question, No default).
#ifndef KORVIX_UI_MESSAGE_BOX_H_
#define KORVIX_UI_MESSAGE_BOX_H_

namespace korvix::ui {

// Result codes: the button that closed the box.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultAbort = 3;
inline constexpr int kResultRetry = 4;
inline constexpr int kResultIgnore = 5;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// Flags.
inline constexpr int kOkOnly = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kAbortRetryIgnore = 2;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kRetryCancel = 5;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;
inline constexpr int kDefaultButton2 = 256;
inline constexpr int kDefaultButton3 = 512;

}  // namespace korvix::ui

#endif  // KORVIX_UI_MESSAGE_BOX_H_
