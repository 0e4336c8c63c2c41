#include "korvix/ui/qt_toolkit.h"

#include <QEventLoop>

#include "ui/message_box_style.h"
#include "qt/application.h"
#include "qt/message_box_widget.h"
#include "qt/modal_run.h"

namespace korvix::ui {

struct QtToolkit::State {
  qt::ModalStack shown;
};

QtToolkit::QtToolkit() : state_(std::make_unique<State>()) {}

QtToolkit::~QtToolkit() = default;

bool QtToolkit::ShowModal(Form& form) {
  return qt::RunModal(form, state_->shown, qt::Activation::kRequest, [](qt::FormWindow& window) {
    QEventLoop loop;
    window.set_unloaded_handler([&loop] { loop.quit(); });
    // The form can only unload inside the loop: nothing else runs here.
    if (window.form().state() == FormState::kShown) loop.exec(QEventLoop::DialogExec);
    window.set_unloaded_handler(nullptr);
  });
}

int QtToolkit::MessageBox(std::string_view prompt, int flags, std::string_view title) {
  const qt::ApplicationScope application;
  if (!application.ok()) return DecodeMessageBoxFlags(flags).default_result;
  const std::unique_ptr<QMessageBox> box =
      qt::MakeMessageBox(prompt, flags, title, state_->shown.top());
  box->exec();
  return qt::Answer(*box, flags);
}

}  // namespace korvix::ui
