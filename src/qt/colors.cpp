#include "qt/colors.h"

#include <QApplication>

namespace korvix::ui::qt {
namespace {

void SetRole(QPalette& palette, QPalette::ColorRole role, const QColor& color) {
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    // A disabled control keeps the style's greyed text, as the platform
    // draws disabled controls.
    if (group == QPalette::Disabled && role != QPalette::Base && role != QPalette::Button &&
        role != QPalette::Window) {
      continue;
    }
    palette.setColor(group, role, color);
  }
}

}  // namespace

std::optional<QColor> ToQColor(const Color& color, const QPalette& system) {
  switch (color.source) {
    case Color::Source::kDefault:
      return std::nullopt;
    case Color::Source::kRgb:
      return QColor(color.red, color.green, color.blue);
    case Color::Source::kSystem:
      switch (color.system) {
        case SystemColor::kButtonFace: return system.color(QPalette::Active, QPalette::Button);
        case SystemColor::kWindow: return system.color(QPalette::Active, QPalette::Base);
        case SystemColor::kWindowText: return system.color(QPalette::Active, QPalette::Text);
      }
  }
  return std::nullopt;
}

QPalette::ColorRole TextRole(ControlKind kind) {
  switch (kind) {
    case ControlKind::kTextBox:
    case ControlKind::kListBox:
    case ControlKind::kComboBox: return QPalette::Text;
    case ControlKind::kCommandButton: return QPalette::ButtonText;
    case ControlKind::kLabel:
    case ControlKind::kOptionButton: break;
  }
  return QPalette::WindowText;
}

QPalette::ColorRole BackgroundRole(ControlKind kind) {
  switch (kind) {
    case ControlKind::kTextBox:
    case ControlKind::kListBox:
    case ControlKind::kComboBox: return QPalette::Base;
    case ControlKind::kCommandButton: return QPalette::Button;
    case ControlKind::kLabel:
    case ControlKind::kOptionButton: break;
  }
  return QPalette::Window;
}

void ApplyColors(QWidget& widget, ControlKind kind, const Color& fore, const Color& back) {
  const QPalette system = QApplication::palette(&widget);
  // Built from the scheme each time, so that a colour put back to the
  // default is the style's again.
  QPalette palette = system;
  palette.setResolveMask(0);
  if (const auto color = ToQColor(fore, system)) {
    SetRole(palette, TextRole(kind), *color);
    // A drop-down list draws its chosen entry as button text.
    if (kind == ControlKind::kComboBox) SetRole(palette, QPalette::ButtonText, *color);
  }
  if (const auto color = ToQColor(back, system)) {
    SetRole(palette, BackgroundRole(kind), *color);
    if (kind == ControlKind::kComboBox) SetRole(palette, QPalette::Button, *color);
    widget.setAutoFillBackground(kind == ControlKind::kLabel || kind == ControlKind::kOptionButton);
  }
  widget.setPalette(palette);
}

Color ShownTextColor(const QWidget& widget, ControlKind kind) {
  const QPalette& palette = widget.palette();
  const QPalette::ColorRole role = TextRole(kind);
  if (!palette.isBrushSet(QPalette::Active, role)) return Color::Default();
  const QColor color = palette.color(QPalette::Active, role);
  return Color::Rgb(static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
                    static_cast<std::uint8_t>(color.blue()));
}

}  // namespace korvix::ui::qt
