#include "dialogs/editor/frm_algorithm_form.h"

#include <string>
#include <utility>

namespace korvix::dialogs {

ui::FormDescription FrmAlgorithmDescription() {
  using ui::ControlDescription;
  using ui::ControlKind;
  using ui::Rect;

  // The user reads what is editable in dark blue.
  constexpr ui::Color kInput = ui::Color::Rgb(0, 0, 128);

  ui::FormDescription form{
      .name = "frmAlgorithm",
      .caption = "Dupletten-Algorithmus bearbeiten",
      .client_width = 6735,
      .client_height = 7230,
      .font = {.name = "Tahoma", .size_points = 8.25, .bold = false},
  };
  int tab = 0;
  auto add = [&](ControlDescription d) {
    d.tab_index = tab++;
    form.controls.push_back(std::move(d));
  };

  add({.kind = ControlKind::kLabel, .name = "Label2", .caption = "Name:",
       .position = Rect{150, 210, 555, 315}});
  add({.kind = ControlKind::kTextBox, .name = "txtName",
       .position = Rect{750, 180, 5895, 345}, .fore_color = kInput});

  for (int i = 0; i < kEditorRows; ++i) {
    const bool first = i == 0;
    const int top = 720 + 360 * i;
    add({.kind = ControlKind::kLabel, .name = "lblID", .index = i,
         .caption = std::to_string(i + 1) + ".", .position = Rect{150, top + 30, 345, 255},
         .enabled = first});
    add({.kind = ControlKind::kComboBox, .name = "cboField", .index = i,
         .position = Rect{600, top, 2200, 315}, .fore_color = kInput, .enabled = first});
    add({.kind = ControlKind::kComboBox, .name = "cboLength", .index = i,
         .position = Rect{2840, top, 1000, 315}, .fore_color = kInput, .enabled = first});
    add({.kind = ControlKind::kComboBox, .name = "cboLeftRight", .index = i,
         .position = Rect{3840, top, 1200, 315}, .fore_color = kInput, .enabled = first});
    add({.kind = ControlKind::kComboBox, .name = "cboSoundex", .index = i,
         .position = Rect{5040, top, 1600, 315}, .fore_color = kInput, .enabled = first});
  }

  add({.kind = ControlKind::kLabel, .name = "Label1", .caption = "Beschreibung:",
       .position = Rect{180, 4410, 2865, 315}});
  add({.kind = ControlKind::kTextBox, .name = "txtDescription",
       .position = Rect{150, 4710, 6465, 1665}, .fore_color = kInput,
       .style = {.multi_line = true, .vertical_scroll_bar = true}});
  // One group: choosing one clears the other.
  add({.kind = ControlKind::kOptionButton, .name = "optPublic", .index = 0,
       .caption = "Öffentlich", .position = Rect{180, 6540, 2595, 315}, .enabled = false,
       .option_group = 0});
  add({.kind = ControlKind::kOptionButton, .name = "optPublic", .index = 1,
       .caption = "Privat", .position = Rect{180, 6840, 2595, 315}, .enabled = false,
       .option_group = 0});
  add({.kind = ControlKind::kCommandButton, .name = "btnOK", .caption = "Speichern",
       .position = Rect{4080, 6810, 1215, 315}, .enabled = false});
  add({.kind = ControlKind::kCommandButton, .name = "btnCancel", .caption = "Abbrechen",
       .position = Rect{5370, 6810, 1215, 315}});
  return form;
}

}  // namespace korvix::dialogs
