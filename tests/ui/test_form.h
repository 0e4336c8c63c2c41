// A small form for the toolkit's tests, a log of the events it raises, and
// the toolkit under test.
#ifndef KORVIX_TESTS_PLATFORM_UI_TEST_FORM_H_
#define KORVIX_TESTS_PLATFORM_UI_TEST_FORM_H_

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "korvix/ui/scripting.h"
#include "ui/form.h"

namespace korvix::ui::testing {

// The scripted toolkit of this test binary: headless or Qt.
std::unique_ptr<ScriptedToolkit> MakeToolkit();

// Controls, in tab order where they take the focus, each placed where a
// pointer can reach it (the list box on the right, the rest one per line):
//   lblTitle (label)  lstItems (list box)  cboRow(0..2) (drop-down lists)
//   txtName  txtNotes (read-only, multi-line)  optKind(0), optKind(1)
//   (group 0)  optOther (group 1)  btnOK  btnCancel  btnOff (disabled)
//   btnHidden (invisible)
inline FormDescription TestForm(std::string name = "frmTest") {
  FormDescription form{.name = std::move(name), .caption = "Prüfung", .client_width = 7200,
                       .client_height = 6000, .font = {.name = "Tahoma", .size_points = 8.25}};
  int top = 120;
  auto add = [&](ControlDescription d) {
    d.tab_index = static_cast<int>(form.controls.size());
    if (d.kind == ControlKind::kListBox) {
      d.position = {3720, 120, 3000, 2400};
    } else {
      d.position = {120, top, 3000, 315};
      top += 390;
    }
    form.controls.push_back(std::move(d));
  };
  using K = ControlKind;
  add({.kind = K::kLabel, .name = "lblTitle", .caption = "Titel:"});
  add({.kind = K::kListBox, .name = "lstItems"});
  for (int i = 0; i < 3; ++i) add({.kind = K::kComboBox, .name = "cboRow", .index = i});
  add({.kind = K::kTextBox, .name = "txtName", .caption = "Anfang"});
  add({.kind = K::kTextBox, .name = "txtNotes", .style = {.multi_line = true, .read_only = true}});
  add({.kind = K::kOptionButton, .name = "optKind", .index = 0, .caption = "A"});
  add({.kind = K::kOptionButton, .name = "optKind", .index = 1, .caption = "B"});
  add({.kind = K::kOptionButton, .name = "optOther", .caption = "C", .option_group = 1});
  add({.kind = K::kCommandButton, .name = "btnOK", .caption = "OK"});
  add({.kind = K::kCommandButton, .name = "btnCancel", .caption = "Abbrechen"});
  add({.kind = K::kCommandButton, .name = "btnOff", .caption = "Aus", .enabled = false});
  add({.kind = K::kCommandButton, .name = "btnHidden", .caption = "Weg", .visible = false});
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
          entries_.push_back(word + " " + name +
                             (index < 0 ? "" : "(" + std::to_string(index) + ")"));
        });
      }
    }
  }

  // Returns the entries so far and forgets them.
  std::vector<std::string> Take() { return std::exchange(entries_, {}); }

 private:
  std::vector<std::string> entries_;
};

}  // namespace korvix::ui::testing

#endif  // KORVIX_TESTS_PLATFORM_UI_TEST_FORM_H_
