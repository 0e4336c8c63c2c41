#include "dialogs/select/frm_select_form.h"

namespace korvix::dialogs {

using ui::ControlKind;

ui::FormDescription FrmSelectForm() {
  const auto button = [](const char* name, const char* caption, int left, int tab, bool enabled) {
    return ui::ControlDescription{.kind = ControlKind::kCommandButton,
                                  .name = name,
                                  .caption = caption,
                                  .position = {left, 6810, 1215, 315},
                                  .tab_index = tab,
                                  .enabled = enabled};
  };
  return ui::FormDescription{
      .name = "frmSelect",
      .caption = "Dupletten-Algorithmen",
      .client_width = 7680,
      .client_height = 7260,
      .font = {.name = "Tahoma", .size_points = 8.25},
      .controls = {
          {.kind = ControlKind::kListBox,
           .name = "Liste",
           .position = {150, 90, 7335, 3375},
           .tab_index = 0},
          {.kind = ControlKind::kTextBox,
           .name = "txtDescription",
           .position = {210, 3690, 7215, 3045},
           .fore_color = kDarkBlue,
           .back_color = ui::Color::System(ui::SystemColor::kButtonFace),
           .style = {.multi_line = true, .vertical_scroll_bar = true, .read_only = true},
           .tab_index = 1},
          button("btnOK", "Auswählen", 5010, 2, false),
          button("btnCancel", "Abbrechen", 6300, 3, true),
          button("btnNew", "Neu...", 180, 4, true),
          button("btnDelete", "Löschen", 2760, 5, false),
          button("btnEdit", "Bearbeiten...", 1470, 6, false),
      }};
}

}  // namespace korvix::dialogs
