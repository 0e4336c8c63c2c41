#include <QApplication>
#include <QPixmap>
#include <QTest>
#include <deque>
#include <map>
#include <string>
#include <utility>

#include "korvix/ui/qt_toolkit.h"
#include "ui/message_box_style.h"
#include "qt/application.h"
#include "qt/message_box_widget.h"
#include "qt/modal_run.h"
#include "qt/qt_user.h"
#include "qt/text_convert.h"

namespace korvix::ui {

struct ScriptedQtToolkit::State {
  qt::ModalStack shown;
  std::map<std::string, std::deque<Script>, std::less<>> scripts;
  std::deque<int> answers;
  std::vector<MessageBoxRecord> message_boxes;
};

ScriptedQtToolkit::ScriptedQtToolkit() : state_(std::make_unique<State>()) {}

ScriptedQtToolkit::~ScriptedQtToolkit() = default;

bool ScriptedQtToolkit::ShowModal(Form& form) {
  return qt::RunModal(form, state_->shown, qt::Activation::kForce, [this](qt::FormWindow& window) {
    Script script;
    auto it = state_->scripts.find(window.form().name());
    if (it != state_->scripts.end() && !it->second.empty()) {
      script = std::move(it->second.front());
      it->second.pop_front();
    }
    if (!script || window.form().state() != FormState::kShown) return;
    qt::QtUser user(state_->shown, window);
    try {
      script(user);
    } catch (...) {
      // A script is the user's part; its failure must not reach the dialog,
      // which only learns that its window was closed.
    }
  });
}

int ScriptedQtToolkit::MessageBox(std::string_view prompt, int flags, std::string_view title) {
  std::optional<int> queued;
  if (!state_->answers.empty()) {
    queued = state_->answers.front();
    state_->answers.pop_front();
  }
  int result = queued.value_or(DecodeMessageBoxFlags(flags).default_result);
  const qt::ApplicationScope application;
  if (application.ok()) {
    const std::unique_ptr<QMessageBox> box =
        qt::MakeMessageBox(prompt, flags, title, state_->shown.top());
    box->show();
    qt::Activate(*box, qt::Activation::kForce);
    QCoreApplication::processEvents();
    if (!queued) {
      // Enter takes the default button.
      QTest::keyClick(box.get(), Qt::Key_Return);
      result = qt::Answer(*box, flags);
    } else if (QAbstractButton* button = qt::ButtonFor(*box, *queued)) {
      QTest::mouseClick(button, Qt::LeftButton);
      result = qt::Answer(*box, flags);
    }
    box->hide();
    if (qt::FormWindow* below = state_->shown.top()) qt::Activate(*below, qt::Activation::kForce);
    QCoreApplication::processEvents();
  }
  state_->message_boxes.push_back(
      MessageBoxRecord{std::string(prompt), flags, std::string(title), result});
  return result;
}

void ScriptedQtToolkit::QueueScript(std::string_view form_name, Script script) {
  auto it = state_->scripts.find(form_name);
  if (it == state_->scripts.end()) {
    it = state_->scripts.emplace(std::string(form_name), std::deque<Script>{}).first;
  }
  it->second.push_back(std::move(script));
}

void ScriptedQtToolkit::QueueAnswer(int result) { state_->answers.push_back(result); }

std::size_t ScriptedQtToolkit::pending_scripts(std::string_view form_name) const {
  const auto it = state_->scripts.find(form_name);
  return it == state_->scripts.end() ? 0 : it->second.size();
}

std::size_t ScriptedQtToolkit::pending_answers() const { return state_->answers.size(); }

const std::vector<MessageBoxRecord>& ScriptedQtToolkit::message_boxes() const {
  return state_->message_boxes;
}

bool ScriptedQtToolkit::SaveWindowImage(std::string_view path) const {
  qt::FormWindow* window = state_->shown.top();
  if (window == nullptr) return false;
  // What was put last is laid out and drawn first.
  QCoreApplication::processEvents();
  return window->grab().save(qt::ToQString(path), "PNG");
}

}  // namespace korvix::ui
