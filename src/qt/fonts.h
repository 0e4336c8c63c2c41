// Fonts of the descriptions on this machine.
//
// The dialogs are drawn in Tahoma. Where no font of that name is installed,
// the Tahoma look-alike that wine ships (its files are not registered with
// fontconfig) is loaded for the application; without it, a sans-serif of
// close metrics stands in.
#ifndef KORVIX_PLATFORM_UI_QT_FONTS_H_
#define KORVIX_PLATFORM_UI_QT_FONTS_H_

#include <QFont>
#include <QString>
#include <string_view>

#include "ui/form_description.h"

namespace korvix::ui::qt {

// The family to draw `wanted` with: `wanted` when installed; for Tahoma, the
// look-alike's family once loaded; else "DejaVu Sans" when installed; else
// the system's general font. Loads fonts into the application on first need.
// REQUIRES: a QGuiApplication exists.
QString ResolveFontFamily(std::string_view wanted);

// `font` (family resolved, size in points, bold) as a QFont.
// REQUIRES: a QGuiApplication exists.
QFont ToQFont(const Font& font);

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_FONTS_H_
