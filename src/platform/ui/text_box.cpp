#include "korvix/ui/text_box.h"

#include <algorithm>

namespace korvix::ui {
namespace {

// Length of the well-formed UTF-8 sequence that starts `s`, or 0.
std::size_t SequenceLength(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const auto continuation = [&](std::size_t i) {
    return i < s.size() && (byte(i) & 0xC0) == 0x80;
  };
  const unsigned char lead = byte(0);
  std::size_t n = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) n = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) n = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) n = 4;
  else return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (!continuation(i)) return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if (n == 3 && ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F))) return 0;
  if (n == 4 && ((lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))) return 0;
  return n;
}

}  // namespace

int CharacterCount(std::string_view text) {
  int count = 0;
  while (!text.empty()) {
    const std::size_t n = SequenceLength(text);
    text.remove_prefix(n == 0 ? 1 : n);  // a stray byte is one character
    ++count;
  }
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
