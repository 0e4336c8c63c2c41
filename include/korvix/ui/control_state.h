// What a user sees of one control of a dialog window: its kind, texts,
// items, states and colours, read at one moment by a scripted user
// (korvix/ui/scripting.h).
#ifndef KORVIX_UI_CONTROL_STATE_H_
#define KORVIX_UI_CONTROL_STATE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace korvix::ui {

enum class ControlKind {
  kLabel,          // static text; takes no focus
  kTextBox,        // editable text
  kComboBox,       // drop-down list: the user picks an entry, never types
  kListBox,        // list with single selection
  kOptionButton,   // one of a group; setting one clears the others
  kCommandButton,  // push button
};

// The colours of the platform's current scheme that a control may show.
enum class SystemColor {
  kButtonFace,
  kWindow,
  kWindowText,
};

// A colour: the kind's usual system colour (default), a colour of the scheme,
// or a fixed red-green-blue value.
struct Color {
  enum class Source { kDefault, kSystem, kRgb };

  Source source = Source::kDefault;
  SystemColor system = SystemColor::kWindowText;  // when source is kSystem
  std::uint8_t red = 0, green = 0, blue = 0;      // when source is kRgb

  static constexpr Color Default() { return Color{}; }
  static constexpr Color System(SystemColor c) {
    return Color{Source::kSystem, c, 0, 0, 0};
  }
  static constexpr Color Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return Color{Source::kRgb, SystemColor::kWindowText, r, g, b};
  }

  friend constexpr bool operator==(const Color& a, const Color& b) {
    if (a.source != b.source) return false;
    if (a.source == Source::kSystem) return a.system == b.system;
    if (a.source == Source::kRgb) {
      return a.red == b.red && a.green == b.green && a.blue == b.blue;
    }
    return true;
  }
};

// A control by name and array index (-1 for a single control).
struct ControlId {
  std::string name{};
  int index = -1;

  friend bool operator==(const ControlId&, const ControlId&) = default;
};

// Everything a user could see of one control, read at one moment.
struct ControlState {
  bool exists = false;  // false: no such control; every other field is empty
  ControlKind kind = ControlKind::kLabel;
  std::string caption{};
  std::string text{};  // text box: its text; list or combo: the selected item's
  std::vector<std::string> items{};
  std::vector<std::int32_t> item_data{};
  int list_index = -1;
  bool value = false;  // option button
  bool enabled = false;
  bool visible = false;
  bool font_bold = false;
  Color fore_color{};
  bool focused = false;
  int sel_start = 0;
  int sel_length = 0;
};

}  // namespace korvix::ui

#endif  // KORVIX_UI_CONTROL_STATE_H_
