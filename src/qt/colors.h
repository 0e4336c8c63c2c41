// Colours of the descriptions in widget palettes.
//
// A control's text colour goes into the palette role that its widget draws
// text with, its background into the role it fills with. A default colour
// leaves the role to the style, so that it follows the desktop's scheme.
#ifndef KORVIX_PLATFORM_UI_QT_COLORS_H_
#define KORVIX_PLATFORM_UI_QT_COLORS_H_

#include <QColor>
#include <QPalette>
#include <QWidget>
#include <optional>

#include "ui/form_description.h"

namespace korvix::ui::qt {

// The colour that `color` names in the scheme `system`; none for a default.
//   kButtonFace -> Button, kWindow -> Base, kWindowText -> Text.
std::optional<QColor> ToQColor(const Color& color, const QPalette& system);

// The roles a widget of `kind` draws its text and its background with.
QPalette::ColorRole TextRole(ControlKind kind);
QPalette::ColorRole BackgroundRole(ControlKind kind);

// Gives `widget` (a control of `kind`) the text colour `fore` and the
// background `back`, in every colour group; default colours are the style's.
void ApplyColors(QWidget& widget, ControlKind kind, const Color& fore, const Color& back);

// The text colour that `widget` shows: Default while its palette leaves the
// text role to the style, else the colour as red, green and blue.
Color ShownTextColor(const QWidget& widget, ControlKind kind);

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_COLORS_H_
