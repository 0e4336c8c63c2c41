// The drop-down lists' style: the application's, with the slim arrow and
// narrow margins of the platform the dialogs were laid out for. The editor's
// length box is 1000 twips wide: room for "3 Stellen" beside such an arrow,
// not beside the wider one that desktop styles draw.
#ifndef KORVIX_PLATFORM_UI_QT_COMPACT_STYLE_H_
#define KORVIX_PLATFORM_UI_QT_COMPACT_STYLE_H_

#include <QStyle>

namespace korvix::ui::qt {

// The style for drop-down lists, one per application and owned by it: it
// goes when the application does.
// REQUIRES: a QApplication on this thread.
QStyle* CompactComboStyle();

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_COMPACT_STYLE_H_
