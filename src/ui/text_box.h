// Text boxes: an editable text with a selection in it.
//
// Positions and lengths in the text count characters: Unicode code points of
// the UTF-8 text, a byte that is not valid UTF-8 counting as one.
#ifndef KORVIX_PLATFORM_UI_TEXT_BOX_H_
#define KORVIX_PLATFORM_UI_TEXT_BOX_H_

#include <string>
#include <string_view>

#include "korvix/export.h"
#include "ui/control.h"

namespace korvix::ui {

// The number of characters of `text`, counted as text boxes count them.
KORVIX_EXPORT int CharacterCount(std::string_view text);

class KORVIX_EXPORT TextBox final : public Control {
 public:
  std::string Text() const override { return text_; }
  // Replaces the text; the selection becomes the empty one at position 0.
  // Allowed on a read-only box: read-only binds the user, not the program.
  bool SetText(std::string_view text);

  int SelStart() const { return sel_start_; }
  int SelLength() const { return sel_length_; }

  // Moves the selection to an empty one at `start`; a start past the end
  // goes to the end. Fails for a negative start.
  bool SetSelStart(int start) override;
  // Selects `length` characters from SelStart, at most to the end of the
  // text. Fails for a negative length.
  bool SetSelLength(int length) override;

  bool read_only() const { return description().style.read_only; }

 private:
  TextBox(Form* form, const ControlDescription* description);

  std::string text_;
  int sel_start_ = 0;
  int sel_length_ = 0;

  friend class Form;
};

}  // namespace korvix::ui

#endif  // KORVIX_PLATFORM_UI_TEXT_BOX_H_
