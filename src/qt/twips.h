// Positions of the form descriptions on the screen.
//
// Descriptions measure in twips, 1440 to the inch. A window's pixels are
// device-independent ones, so a twips value becomes twips * dpi / 1440 with
// the screen's logical dpi: 15 twips a pixel at 96 dpi.
#ifndef KORVIX_PLATFORM_UI_QT_TWIPS_H_
#define KORVIX_PLATFORM_UI_QT_TWIPS_H_

#include <QRect>

#include "ui/form_description.h"

namespace korvix::ui::qt {

inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kStandardDpi = 96.0;

// `twips` in pixels at `dpi`, rounded to the nearest pixel (halves away from
// zero).
int TwipsToPixels(int twips, double dpi);

// The pixel rectangle of `twips` at `dpi`. Each edge is rounded on its own,
// so that controls that meet in twips meet on the screen, without a gap or
// an overlap.
QRect PixelRect(const Rect& twips, double dpi);

// The logical dpi of the primary screen; kStandardDpi without a screen.
// REQUIRES: a QGuiApplication exists.
double ScreenDpi();

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_TWIPS_H_
