// A small form for the toolkit's tests, and a log of the events it raises.
#ifndef KORVIX_TESTS_PLATFORM_UI_TEST_FORM_H_
#define KORVIX_TESTS_PLATFORM_UI_TEST_FORM_H_

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "korvix/ui/form.h"

namespace korvix::ui::testing {

// Controls, in tab order where they take the focus:
//   lblTitle (label, tab 0: skipped for the focus)
//   lstItems (list box, tab 1)      cboRow(0..2) (combo array, tabs 2-4)
//   txtName (text, tab 5)           txtNotes (read-only multi-line text, tab 6)
//   optKind(0), optKind(1) (group 0), optOther (group 1)
//   btnOK, btnCancel, btnOff (disabled), btnHidden (invisible)
inline FormDescription TestForm(std::string name = "frmTest") {
  FormDescription form{
      .name = std::move(name),
      .caption = "Test",
      .client_width = 6000,
      .client_height = 4000,
      .font = {.name = "Tahoma", .size_points = 8.25},
  };
  auto add = [&](ControlDescription d) { form.controls.push_back(std::move(d)); };
  add({.kind = ControlKind::kLabel, .name = "lblTitle", .caption = "Titel:", .tab_index = 0});
  add({.kind = ControlKind::kListBox, .name = "lstItems", .tab_index = 1});
  for (int i = 0; i < 3; ++i) {
    add({.kind = ControlKind::kComboBox, .name = "cboRow", .index = i, .tab_index = 2 + i});
  }
  add({.kind = ControlKind::kTextBox, .name = "txtName", .caption = "Anfang", .tab_index = 5});
  add({.kind = ControlKind::kTextBox,
       .name = "txtNotes",
       .style = {.multi_line = true, .vertical_scroll_bar = true, .read_only = true},
       .tab_index = 6});
  add({.kind = ControlKind::kOptionButton, .name = "optKind", .index = 0, .caption = "A",
       .tab_index = 7});
  add({.kind = ControlKind::kOptionButton, .name = "optKind", .index = 1, .caption = "B",
       .tab_index = 8});
  add({.kind = ControlKind::kOptionButton, .name = "optOther", .caption = "C", .tab_index = 9,
       .option_group = 1});
  add({.kind = ControlKind::kCommandButton, .name = "btnOK", .caption = "OK", .tab_index = 10});
  add({.kind = ControlKind::kCommandButton, .name = "btnCancel", .caption = "Abbrechen",
       .tab_index = 11});
  add({.kind = ControlKind::kCommandButton, .name = "btnOff", .caption = "Aus", .tab_index = 12,
       .enabled = false});
  add({.kind = ControlKind::kCommandButton, .name = "btnHidden", .caption = "Weg",
       .tab_index = 13, .visible = false});
  return form;
}

// Records every Click, DblClick and GotFocus of `form` as "Click cboRow(1)",
// "GotFocus txtName", in the order raised. Replaces earlier handlers.
class EventLog {
 public:
  explicit EventLog(Form& form) {
    std::set<std::string> names;
    for (const Control* c : form.controls()) names.insert(c->name());
    for (const std::string& name : names) {
      for (auto [event, word] : {std::pair{Event::kClick, "Click"},
                                 std::pair{Event::kDblClick, "DblClick"},
                                 std::pair{Event::kGotFocus, "GotFocus"}}) {
        form.On(event, name, [this, name, word = std::string(word)](int index) {
          entries.push_back(word + " " + name +
                            (index < 0 ? "" : "(" + std::to_string(index) + ")"));
        });
      }
    }
  }

  // Returns the entries so far and forgets them.
  std::vector<std::string> Take() { return std::exchange(entries, {}); }

  std::vector<std::string> entries;
};

}  // namespace korvix::ui::testing

#endif  // KORVIX_TESTS_PLATFORM_UI_TEST_FORM_H_
