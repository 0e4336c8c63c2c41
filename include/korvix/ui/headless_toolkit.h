// HeadlessToolkit: the in-memory toolkit. Nothing is drawn; forms keep the
// exact semantics of the form model and the user is played by
// scripts (korvix/ui/scripting.h).
//
// Showing a form runs its script on the calling thread and returns when the
// script has ended and the form is unloaded; a script that throws ends there.
// Use one toolkit from one thread at a time. Records of message boxes grow
// for the toolkit's lifetime.
//
//   korvix::ui::HeadlessToolkit toolkit;
//   toolkit.QueueScript("frmSelect", [](korvix::ui::User& user) {
//     user.Click({"btnCancel"});
//   });
#ifndef KORVIX_UI_HEADLESS_TOOLKIT_H_
#define KORVIX_UI_HEADLESS_TOOLKIT_H_

#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/export.h"
#include "korvix/ui/scripting.h"

namespace korvix::ui {

class KORVIX_EXPORT HeadlessToolkit final : public ScriptedToolkit {
 public:
  HeadlessToolkit();
  HeadlessToolkit(const HeadlessToolkit&) = delete;
  HeadlessToolkit& operator=(const HeadlessToolkit&) = delete;
  ~HeadlessToolkit() override;

  bool ShowModal(Form& form) override;
  int MessageBox(std::string_view prompt, int flags, std::string_view title) override;

  void QueueScript(std::string_view form_name, Script script) override;
  void QueueAnswer(int result) override;
  std::size_t pending_scripts(std::string_view form_name) const override;
  std::size_t pending_answers() const override;
  const std::vector<MessageBoxRecord>& message_boxes() const override {
    return message_boxes_;
  }

  // The form that takes the user's input: the innermost one shown, or null.
  const Form* top_form() const { return shown_.empty() ? nullptr : shown_.back(); }

 private:
  std::map<std::string, std::deque<Script>, std::less<>> scripts_;
  std::deque<int> answers_;
  std::vector<MessageBoxRecord> message_boxes_;
  std::vector<Form*> shown_;  // nested modal shows, innermost last
};

}  // namespace korvix::ui

#endif  // KORVIX_UI_HEADLESS_TOOLKIT_H_
