#include "ui/control.h"

#include "ui/form.h"

namespace korvix::ui {

Control::Control(Form* form, const ControlDescription* description)
    : form_(form),
      description_(description),
      enabled_(description->enabled),
      visible_(description->visible),
      font_bold_(DeclaredFont().bold),
      fore_color_(description->fore_color) {}

Control::~Control() = default;

Font Control::DeclaredFont() const {
  if (description_->font) return *description_->font;
  return form_ != nullptr ? form_->description().font : Font{};
}

Font Control::font() const {
  Font f = DeclaredFont();
  f.bold = font_bold_;
  return f;
}

bool Control::SetEnabled(bool enabled) {
  if (!attached()) return false;
  if (enabled_ == enabled) return true;
  enabled_ = enabled;
  if (!enabled) form_->LoseFocus(*this);
  Changed(Property::kEnabled);
  return true;
}

bool Control::SetVisible(bool visible) {
  if (!attached()) return false;
  if (visible_ == visible) return true;
  visible_ = visible;
  if (!visible) form_->LoseFocus(*this);
  Changed(Property::kVisible);
  return true;
}

bool Control::SetFontBold(bool bold) {
  if (!attached()) return false;
  if (font_bold_ == bold) return true;
  font_bold_ = bold;
  Changed(Property::kFontBold);
  return true;
}

bool Control::SetForeColor(Color color) {
  if (!attached()) return false;
  if (fore_color_ == color) return true;
  fore_color_ = color;
  Changed(Property::kForeColor);
  return true;
}

bool Control::SetFocus() {
  if (!attached() || form_->state() != FormState::kShown) return false;
  return form_->Focus(*this);
}

bool Control::HasFocus() const {
  return attached() && form_->focus_ == this;
}

std::string Control::Text() const { return {}; }

bool Control::SetSelStart(int) { return false; }

bool Control::SetSelLength(int) { return false; }

void Control::Changed(Property what) const {
  if (attached()) form_->Notify(*this, what);
}

void Control::Raise(Event event) {
  if (attached()) form_->Raise(event, *this);
}

}  // namespace korvix::ui
