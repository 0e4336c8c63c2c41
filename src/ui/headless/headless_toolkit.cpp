#include "korvix/ui/headless_toolkit.h"

#include <utility>

#include "ui/form.h"
#include "ui/headless/headless_user.h"
#include "ui/message_box_style.h"

namespace korvix::ui {

HeadlessToolkit::HeadlessToolkit() = default;

HeadlessToolkit::~HeadlessToolkit() = default;

bool HeadlessToolkit::ShowModal(Form& form) {
  if (!form.BeginModal()) return false;
  shown_.push_back(&form);

  Script script;
  if (auto it = scripts_.find(form.name()); it != scripts_.end() && !it->second.empty()) {
    script = std::move(it->second.front());
    it->second.pop_front();
  }
  if (script && form.state() == FormState::kShown) {
    HeadlessUser user(*this, form);
    try {
      script(user);
    } catch (...) {
      // A script is the user's part; its failure must not reach the dialog,
      // which only learns that its window was closed.
    }
  }
  // The user walks away: whatever is still open closes by its close box.
  if (form.state() == FormState::kShown) form.UserClose();

  shown_.pop_back();
  return true;
}

int HeadlessToolkit::MessageBox(std::string_view prompt, int flags, std::string_view title) {
  int result = DecodeMessageBoxFlags(flags).default_result;
  if (!answers_.empty()) {
    result = answers_.front();
    answers_.pop_front();
  }
  message_boxes_.push_back(MessageBoxRecord{std::string(prompt), flags, std::string(title), result});
  return result;
}

void HeadlessToolkit::QueueScript(std::string_view form_name, Script script) {
  auto it = scripts_.find(form_name);
  if (it == scripts_.end()) it = scripts_.emplace(std::string(form_name), std::deque<Script>{}).first;
  it->second.push_back(std::move(script));
}

void HeadlessToolkit::QueueAnswer(int result) { answers_.push_back(result); }

std::size_t HeadlessToolkit::pending_scripts(std::string_view form_name) const {
  const auto it = scripts_.find(form_name);
  return it == scripts_.end() ? 0 : it->second.size();
}

std::size_t HeadlessToolkit::pending_answers() const { return answers_.size(); }

}  // namespace korvix::ui
