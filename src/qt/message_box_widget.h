// Message boxes as QMessageBox windows.
//
// The flags choose the buttons (left to right as the platform orders them),
// the icon, the default button (Enter) and the escape button (Escape and the
// close box): Cancel where the box has it, else No, else a lone OK.
//   48  -> OK; warning icon; OK default and escape.
//   289 -> OK, Cancel; question icon; Cancel default and escape.
//   292 -> Yes, No; question icon; No default and escape.
#ifndef KORVIX_PLATFORM_UI_QT_MESSAGE_BOX_WIDGET_H_
#define KORVIX_PLATFORM_UI_QT_MESSAGE_BOX_WIDGET_H_

#include <QAbstractButton>
#include <QMessageBox>
#include <memory>
#include <string_view>

namespace korvix::ui::qt {

// A box for `prompt` (line breaks "\r\n"), `flags` and `title`, modal over
// `parent` (or the application when null); not shown yet.
// REQUIRES: a QApplication on this thread.
std::unique_ptr<QMessageBox> MakeMessageBox(std::string_view prompt, int flags,
                                            std::string_view title, QWidget* parent);

// The result code (korvix/ui/message_box.h) of `button` of `box`; 0 when it
// is none of the box's buttons.
int ResultOf(const QMessageBox& box, const QAbstractButton* button);

// The button of `box` that answers `result`, or null.
QAbstractButton* ButtonFor(const QMessageBox& box, int result);

// What a box answers once closed: its clicked button's result; a box closed
// without one answers Cancel where it has Cancel, else `flags`' default.
int Answer(const QMessageBox& box, int flags);

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_MESSAGE_BOX_WIDGET_H_
