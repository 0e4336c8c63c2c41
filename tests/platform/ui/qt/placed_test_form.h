// The toolkit tests' form (platform/ui/test_form.h) with a place for every
// control, so that a real window shows each one where a pointer can reach it.
#ifndef KORVIX_TESTS_PLATFORM_UI_QT_PLACED_TEST_FORM_H_
#define KORVIX_TESTS_PLATFORM_UI_QT_PLACED_TEST_FORM_H_

#include <string>
#include <utility>

#include "korvix/ui/form_description.h"
#include "platform/ui/test_form.h"

namespace korvix::ui::testing {

// Two columns of controls: the list box first, tall enough to leave room
// below three items; then the rest, one per line.
inline FormDescription PlacedTestForm(std::string name = "frmTest") {
  FormDescription form = TestForm(std::move(name));
  form.client_width = 7200;
  form.client_height = 6000;
  int top = 120;
  for (ControlDescription& control : form.controls) {
    if (control.kind == ControlKind::kListBox) {
      control.position = {3720, 120, 3000, 2400};
      continue;
    }
    control.position = {120, top, 3000, 315};
    top += 390;
  }
  return form;
}

}  // namespace korvix::ui::testing

#endif  // KORVIX_TESTS_PLATFORM_UI_QT_PLACED_TEST_FORM_H_
