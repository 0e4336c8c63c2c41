// The scripted user of the headless toolkit: acts on one form through the
// model's user entry points, and reads the model as the user would see it.
#ifndef KORVIX_PLATFORM_UI_HEADLESS_HEADLESS_USER_H_
#define KORVIX_PLATFORM_UI_HEADLESS_HEADLESS_USER_H_

#include <optional>
#include <string>

#include "korvix/ui/headless_toolkit.h"
#include "korvix/ui/scripting.h"
#include "ui/form.h"

namespace korvix::ui {

// Everything a user could see of `control`; a stand-in gives exists false.
ControlState Snapshot(const Control& control);

class HeadlessUser final : public User {
 public:
  // Acts only while `form` is the innermost form that `toolkit` shows.
  HeadlessUser(const HeadlessToolkit& toolkit, Form& form) : toolkit_(toolkit), form_(form) {}

  const std::string& form_name() const override { return form_.name(); }
  bool shown() const override { return form_.state() == FormState::kShown; }

  bool Select(const ControlId& control, int item) override;
  bool Type(const ControlId& control, std::string_view text) override;
  bool Click(const ControlId& control) override;
  bool DoubleClick(const ControlId& control, int item) override;
  bool Focus(const ControlId& control) override;
  bool CloseBox() override;

  ControlState State(const ControlId& control) const override;
  std::optional<ControlId> Focused() const override;
  std::string Caption() const override;
  std::optional<std::string> Property(std::string_view name) const override;

 private:
  // The user reaches only the window on top; a form below a modal one is
  // blocked.
  bool OnTop() const { return toolkit_.top_form() == &form_; }

  const HeadlessToolkit& toolkit_;
  Form& form_;
};

}  // namespace korvix::ui

#endif  // KORVIX_PLATFORM_UI_HEADLESS_HEADLESS_USER_H_
