// What a form looks like, declared as data.
//
// Each dialog describes its window once: caption, client area, font, and for
// every control its kind, name and index, caption, position, colours, style,
// tab order and initial states. The model (ui/form.h) takes its initial
// state from the description and every back end lays the window out from it,
// so the dialogs' logic never needs a back end's header.
//
// Positions and sizes are in twips (1440 to the inch; 15 twips are one pixel
// at 96 dpi). Texts are UTF-8.
#ifndef KORVIX_PLATFORM_UI_FORM_DESCRIPTION_H_
#define KORVIX_PLATFORM_UI_FORM_DESCRIPTION_H_

#include <optional>
#include <string>
#include <vector>

#include "korvix/ui/control_state.h"

namespace korvix::ui {

// Left, top, width, height in twips.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct Font {
  std::string name{};
  double size_points = 0;
  bool bold = false;
};

// Styles of text boxes; other kinds ignore them.
struct ControlStyle {
  bool multi_line = false;
  bool vertical_scroll_bar = false;
  bool read_only = false;  // the user cannot type; the program may still put Text
};

// Every member of these structs has an initializer, so a description may be
// written with designated initializers that name only what differs.
struct ControlDescription {
  ControlKind kind = ControlKind::kLabel;
  std::string name{};  // e.g. "cboField"
  int index = -1;    // position in a control array, or -1 for a single control
  // Labels, buttons, option buttons: their caption. Text boxes: initial text.
  std::string caption{};
  Rect position{};
  std::optional<Font> font{};  // none: the form's font
  Color fore_color{};  // text colour
  Color back_color{};
  ControlStyle style{};
  int tab_index = 0;         // focus order; the lowest focusable control starts with it
  bool enabled = true;
  bool visible = true;
  int option_group = 0;      // option buttons with equal numbers form one group
};

struct FormDescription {
  std::string name{};     // e.g. "frmSelect"; scripts are queued under it
  std::string caption{};  // window title
  int client_width = 0;   // twips
  int client_height = 0;  // twips
  Font font{};
  std::vector<ControlDescription> controls{};
};

}  // namespace korvix::ui

#endif  // KORVIX_PLATFORM_UI_FORM_DESCRIPTION_H_
