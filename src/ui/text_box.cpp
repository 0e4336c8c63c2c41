#include "ui/text_box.h"

#include <algorithm>

#include "base/text.h"

namespace korvix::ui {

int CharacterCount(std::string_view text) {
  int count = 0;
  for (std::size_t i = 0; i < text.size(); i += text::DecodeCharacter(text, i).length) ++count;
  return count;
}

TextBox::TextBox(Form* form, const ControlDescription* description)
    : Control(form, description), text_(description->caption) {}

bool TextBox::SetText(std::string_view text) {
  if (!attached()) return false;
  text_.assign(text);
  sel_start_ = 0;
  sel_length_ = 0;
  Changed(Property::kText);
  Changed(Property::kSelection);
  return true;
}

bool TextBox::SetSelStart(int start) {
  if (!attached() || start < 0) return false;
  sel_start_ = std::min(start, CharacterCount(text_));
  sel_length_ = 0;
  Changed(Property::kSelection);
  return true;
}

bool TextBox::SetSelLength(int length) {
  if (!attached() || length < 0) return false;
  sel_length_ = std::min(length, CharacterCount(text_) - sel_start_);
  Changed(Property::kSelection);
  return true;
}

}  // namespace korvix::ui
